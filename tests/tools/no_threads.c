/* Thread creation refused: preloaded into a test program that is held to start no thread, it ends
   the program with a message naming the list that program must leave. With NO_THREADS_REFUSE in
   the environment it refuses quietly instead (EAGAIN, as at a thread limit), for the runs that
   must go on without the threads they ask for. */
#include <errno.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>

int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*),
                   void* arg) {
    (void)thread;
    (void)attr;
    (void)start;
    (void)arg;
    if (getenv("NO_THREADS_REFUSE") != NULL) {
        return EAGAIN;
    }
    fputs(
        "this test program started a thread: take it off single_threaded_test_programs in "
        "tests/CMakeLists.txt, so that the thread sanitizer runs it\n",
        stderr);
    abort();
}
