#ifndef KALTHORNE_OFXS_MULTITHREAD_H
#define KALTHORNE_OFXS_MULTITHREAD_H
// Work split over the host's threads through its multi-thread suite (or the
// library's replacement installed by ofxsThreadSuiteCheck).

#include "ofxsCore.h"

namespace OFX {
namespace MultiThread {

class Processor {
 public:
  virtual ~Processor() = default;
  // Runs multiThreadFunction on nCPUs threads (0: as many as the host has)
  // and returns when all are done. An exception in a worker is re-thrown here.
  void multiThread(unsigned int nCPUs = 0);
  virtual void multiThreadFunction(unsigned int threadIndex, unsigned int threadMax) = 0;

 private:
  static void staticMultiThreadFunction(unsigned int threadIndex, unsigned int threadMax, void* arg);
};

unsigned int getNumCPUs();
unsigned int getThreadIndex();
bool isSpawnedThread();

class Mutex {
 public:
  explicit Mutex(int lockCount = 0);
  ~Mutex();
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;
  void lock();
  void unlock();
  bool tryLock();

 private:
  OfxMutexHandle _handle = nullptr;
};

class AutoMutex {
 public:
  explicit AutoMutex(Mutex& m) : _mutex(m) { _mutex.lock(); }
  ~AutoMutex() { _mutex.unlock(); }
  AutoMutex(const AutoMutex&) = delete;
  AutoMutex& operator=(const AutoMutex&) = delete;

 private:
  Mutex& _mutex;
};

}  // namespace MultiThread
}  // namespace OFX

#endif
