// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// Preloaded in a system whose programs qemu-user runs in the other byte order than the machine's
// (s390x on amd64, say): every mutex asked to inherit priority is made a plain one.
//
// The kernel itself writes the owner's thread id into a priority-inheriting futex, in the
// machine's byte order, and qemu-user passes such futexes straight to it; the program reads the
// id back in its own order, so the first such mutex two threads contend for never comes free.
// PulseAudio's threaded main loop, which libcanberra plays the bell through, asks for one: there
// every bell hung, while on the real machines of that kind, and under the emulator in the same
// byte order (arm64), it plays.
#include <pthread.h>

int pthread_mutexattr_setprotocol(pthread_mutexattr_t *attributes, int protocol)
{
    (void)attributes, (void)protocol;
    return 0; // PTHREAD_PRIO_NONE, the default, left as it is
}
