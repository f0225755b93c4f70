// A bounded queue of batches of paths from the walker to the worker threads: the walker
// waits when it is full, so memory stays flat however large the tree.
#pragma once

#include "sweep/sweep.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

using WorkBatch = std::vector<WorkItem>;

constexpr size_t kBatchSize = 64;
constexpr size_t kQueueCapacity = 16;   // batches

struct WorkQueue {
    std::mutex lock;
    std::condition_variable notEmpty;
    std::condition_variable notFull;
    std::deque<WorkBatch> batches;
    bool closed = false;
};

// Waits while the queue is full, then adds the batch.
void PushBatch(WorkQueue* queue, WorkBatch&& batch);
// Waits for a batch. RETURNS false once the queue is closed and empty.
bool PopBatch(WorkQueue* queue, WorkBatch* batch);
// No more batches: the workers end when the queue is empty.
void CloseQueue(WorkQueue* queue);
