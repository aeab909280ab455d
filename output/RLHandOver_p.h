// Tells ThreadSanitizer about a hand-over between threads that it cannot see for itself; in any
// other build these cost nothing.
#pragma once

#if defined(__SANITIZE_THREAD__)
#define RL_UNDER_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define RL_UNDER_THREAD_SANITIZER 1
#endif
#endif
#ifdef RL_UNDER_THREAD_SANITIZER
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
inline void HappensBefore(void* token) {
    __tsan_release(token);
}
inline void HappensAfter(void* token) {
    __tsan_acquire(token);
}
#else
inline void HappensBefore(void*) {}
inline void HappensAfter(void*) {}
#endif
