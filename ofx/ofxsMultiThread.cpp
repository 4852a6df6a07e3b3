// Multi-thread processing over the host's suite, and a thread-based
// replacement suite for hosts that lack a usable one.
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "ofx/ofxsImageEffect.h"

namespace OFX {

using namespace Private;

namespace {

thread_local unsigned int tlThreadIndex = 0;
thread_local bool tlSpawned = false;

OfxStatus localMultiThread(OfxThreadFunctionV1 func, unsigned int nThreads, void* arg) {
  if (!func) return kOfxStatFailed;
  if (nThreads <= 1) {
    func(0, 1, arg);
    return kOfxStatOK;
  }
  std::vector<std::thread> threads;
  try {
    threads.reserve(nThreads);
    for (unsigned int i = 0; i < nThreads; ++i)
      threads.emplace_back([=] {
        tlThreadIndex = i;
        tlSpawned = true;
        func(i, nThreads, arg);
      });
  } catch (...) {
    for (std::thread& t : threads) t.join();
    // Threads that could not start: run their share here.
    for (unsigned int i = unsigned(threads.size()); i < nThreads; ++i) func(i, nThreads, arg);
    return kOfxStatOK;
  }
  for (std::thread& t : threads) t.join();
  return kOfxStatOK;
}

OfxStatus localNumCPUs(unsigned int* n) {
  if (!n) return kOfxStatFailed;
  unsigned int h = std::thread::hardware_concurrency();
  *n = h ? h : 1;
  return kOfxStatOK;
}

OfxStatus localThreadIndex(unsigned int* i) {
  if (!i) return kOfxStatFailed;
  *i = tlThreadIndex;
  return kOfxStatOK;
}

int localIsSpawned(void) { return tlSpawned ? 1 : 0; }

OfxStatus localMutexCreate(OfxMutexHandle* m, int lockCount) {
  if (!m) return kOfxStatFailed;
  try {
    auto* mutex = new std::recursive_mutex;
    for (int i = 0; i < lockCount; ++i) mutex->lock();
    *m = reinterpret_cast<OfxMutexHandle>(mutex);
    return kOfxStatOK;
  } catch (...) {
    return kOfxStatErrMemory;
  }
}
OfxStatus localMutexDestroy(const OfxMutexHandle m) {
  delete reinterpret_cast<std::recursive_mutex*>(m);
  return kOfxStatOK;
}
OfxStatus localMutexLock(const OfxMutexHandle m) {
  if (!m) return kOfxStatErrBadHandle;
  reinterpret_cast<std::recursive_mutex*>(m)->lock();
  return kOfxStatOK;
}
OfxStatus localMutexUnLock(const OfxMutexHandle m) {
  if (!m) return kOfxStatErrBadHandle;
  reinterpret_cast<std::recursive_mutex*>(m)->unlock();
  return kOfxStatOK;
}
OfxStatus localMutexTryLock(const OfxMutexHandle m) {
  if (!m) return kOfxStatErrBadHandle;
  return reinterpret_cast<std::recursive_mutex*>(m)->try_lock() ? kOfxStatOK : kOfxStatFailed;
}

const OfxMultiThreadSuiteV1 kLocalThreadSuite = {
    localMultiThread, localNumCPUs,     localThreadIndex, localIsSpawned,    localMutexCreate,
    localMutexDestroy, localMutexLock, localMutexUnLock, localMutexTryLock,
};

bool suiteComplete(const OfxMultiThreadSuiteV1* s) {
  return s && s->multiThread && s->multiThreadNumCPUs && s->multiThreadIndex && s->multiThreadIsSpawnedThread &&
         s->mutexCreate && s->mutexDestroy && s->mutexLock && s->mutexUnLock && s->mutexTryLock;
}

struct ThreadCall {
  MultiThread::Processor* processor;
  std::mutex errorMutex;
  std::exception_ptr error;
};

}  // namespace

void ofxsThreadSuiteCheck() {
  if (!suiteComplete(gThreadSuite)) gThreadSuite = &kLocalThreadSuite;
}

namespace MultiThread {

// Exceptions must not unwind through the host's C thread code: each worker
// keeps the first one and the calling thread re-throws it.
void Processor::staticMultiThreadFunction(unsigned int threadIndex, unsigned int threadMax, void* arg) {
  ThreadCall* call = static_cast<ThreadCall*>(arg);
  try {
    call->processor->multiThreadFunction(threadIndex, threadMax);
  } catch (...) {
    std::lock_guard<std::mutex> lock(call->errorMutex);
    if (!call->error) call->error = std::current_exception();
  }
}

void Processor::multiThread(unsigned int nCPUs) {
  if (nCPUs == 0) nCPUs = getNumCPUs();
  if (nCPUs <= 1 || !gThreadSuite || !gThreadSuite->multiThread) {
    multiThreadFunction(0, 1);
    return;
  }
  ThreadCall call;
  call.processor = this;
  OfxStatus stat = gThreadSuite->multiThread(&Processor::staticMultiThreadFunction, nCPUs, &call);
  if (call.error) std::rethrow_exception(call.error);
  // A host that could not spread the work: do it all here.
  if (stat != kOfxStatOK) multiThreadFunction(0, 1);
}

unsigned int getNumCPUs() {
  unsigned int n = 1;
  if (!gThreadSuite || !gThreadSuite->multiThreadNumCPUs || gThreadSuite->multiThreadNumCPUs(&n) != kOfxStatOK)
    return 1;
  return n ? n : 1;
}

unsigned int getThreadIndex() {
  unsigned int i = 0;
  if (gThreadSuite && gThreadSuite->multiThreadIndex) gThreadSuite->multiThreadIndex(&i);
  return i;
}

bool isSpawnedThread() {
  return gThreadSuite && gThreadSuite->multiThreadIsSpawnedThread && gThreadSuite->multiThreadIsSpawnedThread();
}

Mutex::Mutex(int lockCount) {
  if (!gThreadSuite) ofxsThreadSuiteCheck();
  throwSuiteStatusException(gThreadSuite->mutexCreate(&_handle, lockCount));
}
Mutex::~Mutex() {
  if (_handle && gThreadSuite) gThreadSuite->mutexDestroy(_handle);
}
void Mutex::lock() { throwSuiteStatusException(gThreadSuite->mutexLock(_handle)); }
void Mutex::unlock() { gThreadSuite->mutexUnLock(_handle); }
bool Mutex::tryLock() { return gThreadSuite->mutexTryLock(_handle) == kOfxStatOK; }

}  // namespace MultiThread
}  // namespace OFX
