// The checked file calls of the writers that replace a user's file (settings, controller offset
// rewrite, stock files): each passes straight to the system, except when a test has armed the
// fault seam to fail the Nth write, flush, rename or close, so that every failure path can be
// reached and shown to keep the user's file whole.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdio>

namespace mirexa {

// The kinds of operation the seam counts; a plan fails one operation among the kinds it names.
inline constexpr unsigned kWriteFaultWrite = 1;   // write, fwrite
inline constexpr unsigned kWriteFaultFlush = 2;   // fsync, fflush
inline constexpr unsigned kWriteFaultRename = 4;  // rename
inline constexpr unsigned kWriteFaultClose = 8;   // close, fclose
inline constexpr unsigned kWriteFaultAny = 15;

// Arms the seam and restarts its count: counting from 1, the failAt-th operation whose kind is
// in kinds fails; with failAt 0 none fails and the operations are only counted. error: the errno
// the failed call reports (EINTR: a signal interrupted it), or 0 for the kind's own below. One
// plan at a time for the whole process (tests arm it around a single writer call).
void ArmWriteFaults(int failAt, unsigned kinds = kWriteFaultAny, int error = 0);
// Every operation goes straight to the system again; the count and the injected mark stay
// readable until the next ArmWriteFaults.
void DisarmWriteFaults();
// Operations of the armed kinds seen since ArmWriteFaults.
int CountWriteOperations();
// 1 when the seam failed an operation since ArmWriteFaults, else 0.
int WasWriteFaultInjected();

// The calls. Each does what the system call it wraps does. The one chosen to fail (with the
// plan's errno when it names one):
//  - WriteDescriptor, WriteStream: writes nothing; -1 (WriteStream: 0) with errno ENOSPC;
//  - SyncDescriptor, FlushStream: -1 (FlushStream: EOF) with errno EIO; data not yet on the
//    disk stays where it was;
//  - RenameFile: renames nothing; -1 with errno EIO;
//  - CloseDescriptor, CloseStream: still closes (no descriptor leaks), then reports -1
//    (CloseStream: EOF) with errno EIO, as a close that reports a delayed write error does.
ssize_t WriteDescriptor(int descriptor, const void* bytes, std::size_t count);
int SyncDescriptor(int descriptor);
int CloseDescriptor(int descriptor);
std::size_t WriteStream(const void* bytes, std::size_t size, std::size_t count, std::FILE* stream);
int FlushStream(std::FILE* stream);
int CloseStream(std::FILE* stream);
int RenameFile(const char* from, const char* to);

}  // namespace mirexa
