// Preloaded into the daemon by a test (LD_PRELOAD): pthread_create fails
// with EAGAIN from its Nth call on, N from FRIGEL_REFUSE_THREAD_FROM (unset,
// or not a positive number: never), as it does on a controller short of
// memory.
#include <dlfcn.h>
#include <errno.h>
#include <pthread.h>

#include <atomic>
#include <cstdlib>

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                              void* (*start)(void*), void* argument) noexcept {
  static std::atomic<long> calls{0};
  const char* from = std::getenv("FRIGEL_REFUSE_THREAD_FROM");
  const long first = from != nullptr ? std::atol(from) : 0;
  if (first > 0 && ++calls >= first) {
    return EAGAIN;
  }
  using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
  static const Create real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
  return real != nullptr ? real(thread, attributes, start, argument) : EAGAIN;
}
