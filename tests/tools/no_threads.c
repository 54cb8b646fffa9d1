/* Thread creation refused: preloaded into a test program that is held to start no thread, it ends
   the program with a message naming the list that program must leave. */
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>

int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*),
                   void* arg) {
    (void)thread;
    (void)attr;
    (void)start;
    (void)arg;
    fputs(
        "this test program started a thread: take it off single_threaded_test_programs in "
        "tests/CMakeLists.txt, so that the thread sanitizer runs it\n",
        stderr);
    abort();
}
