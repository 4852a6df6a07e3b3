// Deferred device work: every launch, asynchronous copy, memset and
// stream-ordered free waits in its stream's queue until a synchronisation
// point runs it (a stream or device synchronisation, a synchronous copy or
// free, a library call that returns a result, the stream's destruction),
// as a GPU runs it whenever it likes in between. A host that reads a result
// before waiting for it reads what was there before (a download it queued
// reads poison). The legacy default stream and the blocking streams order
// each other, as the runtime does.
#include "cudasim/cudasim_state.h"
#include "cudasim/kept.h"

#include <memory>

namespace cudasim {
namespace detail {
namespace {

struct Queue {
  std::mutex run;  // one thread runs a stream's work at a time, in order
  std::mutex m;    // guards the fields below
  std::deque<Work> work;
  uint64_t enqueued = 0;
  uint64_t completed = 0;
  bool blocking = true;
};

std::mutex queues_mutex;
std::map<cudaStream_t, std::shared_ptr<Queue>>& queues() {
  static auto* m = kept(new std::map<cudaStream_t, std::shared_ptr<Queue>>);
  return *m;
}

std::shared_ptr<Queue> find_queue(cudaStream_t key) {
  std::lock_guard<std::mutex> lock(queues_mutex);
  auto it = queues().find(key);
  return it == queues().end() ? nullptr : it->second;
}

std::shared_ptr<Queue> queue_of(cudaStream_t key) {
  bool blocking = true;
  if (key != nullptr && key != cudaStreamPerThread) {
    std::lock_guard<std::mutex> lock(state().mutex);
    auto it = state().streams.find(key);
    if (it != state().streams.end()) blocking = it->second.blocking;
  }
  std::lock_guard<std::mutex> lock(queues_mutex);
  auto& q = queues()[key];
  if (!q) {
    q = std::make_shared<Queue>();
    q->blocking = blocking;
  }
  return q;
}

void run_queue(const std::shared_ptr<Queue>& q) {
  if (!q) return;
  std::lock_guard<std::mutex> running(q->run);
  for (;;) {
    Work w;
    {
      std::lock_guard<std::mutex> lock(q->m);
      if (q->work.empty()) return;
      w = std::move(q->work.front());
      q->work.pop_front();
    }
    w();
    std::lock_guard<std::mutex> lock(q->m);
    ++q->completed;
  }
}

// The streams that the legacy default stream waits for, and that wait for it.
void run_blocking_streams() {
  std::vector<std::shared_ptr<Queue>> blocking;
  {
    std::lock_guard<std::mutex> lock(queues_mutex);
    for (auto& q : queues())
      if (q.first != nullptr && q.second->blocking) blocking.push_back(q.second);
  }
  for (auto& q : blocking) run_queue(q);
}

}  // namespace

cudaStream_t stream_key(cudaStream_t stream) { return stream == cudaStreamLegacy ? nullptr : stream; }

bool stream_blocking(cudaStream_t stream) {
  const cudaStream_t key = stream_key(stream);
  if (key == nullptr || key == cudaStreamPerThread) return true;
  std::lock_guard<std::mutex> lock(state().mutex);
  auto it = state().streams.find(key);
  return it == state().streams.end() || it->second.blocking;
}

uint64_t enqueue(cudaStream_t stream, Work work) {
  const cudaStream_t key = stream_key(stream);
  if (key == nullptr)
    run_blocking_streams();
  else if (stream_blocking(key))
    run_queue(find_queue(nullptr));
  std::shared_ptr<Queue> q = queue_of(key);
  std::lock_guard<std::mutex> lock(q->m);
  q->work.push_back(std::move(work));
  return ++q->enqueued;
}

uint64_t next_sequence(cudaStream_t stream) {
  std::shared_ptr<Queue> q = find_queue(stream_key(stream));
  if (!q) return 1;
  std::lock_guard<std::mutex> lock(q->m);
  return q->enqueued + 1;
}

bool completed(cudaStream_t stream, uint64_t sequence) {
  std::shared_ptr<Queue> q = find_queue(stream_key(stream));
  if (!q) return true;  // never used, or destroyed after its work ran
  std::lock_guard<std::mutex> lock(q->m);
  return q->completed >= sequence;
}

void synchronize_stream(cudaStream_t stream) {
  const cudaStream_t key = stream_key(stream);
  if (key == nullptr) run_blocking_streams();
  run_queue(find_queue(key));
}

void synchronize_all() {
  std::vector<std::shared_ptr<Queue>> all;
  {
    std::lock_guard<std::mutex> lock(queues_mutex);
    for (auto& q : queues()) all.push_back(q.second);
  }
  for (auto& q : all) run_queue(q);
}

void forget_stream(cudaStream_t stream) {
  synchronize_stream(stream);
  std::lock_guard<std::mutex> lock(queues_mutex);
  queues().erase(stream_key(stream));
}

void drop_all_work() {
  std::lock_guard<std::mutex> lock(queues_mutex);
  queues().clear();
}

}  // namespace detail
}  // namespace cudasim
