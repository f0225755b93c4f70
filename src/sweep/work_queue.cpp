#include "sweep/work_queue.h"

void PushBatch(WorkQueue* queue, WorkBatch&& batch)
{
    std::unique_lock<std::mutex> hold(queue->lock);
    queue->notFull.wait(hold, [queue] { return queue->batches.size() < kQueueCapacity; });
    queue->batches.push_back(std::move(batch));
    hold.unlock();
    queue->notEmpty.notify_one();
}

bool PopBatch(WorkQueue* queue, WorkBatch* batch)
{
    std::unique_lock<std::mutex> hold(queue->lock);
    queue->notEmpty.wait(hold, [queue] { return !queue->batches.empty() || queue->closed; });
    if (queue->batches.empty()) {
        return false;
    }
    *batch = std::move(queue->batches.front());
    queue->batches.pop_front();
    hold.unlock();
    queue->notFull.notify_one();
    return true;
}

void CloseQueue(WorkQueue* queue)
{
    {
        std::lock_guard<std::mutex> hold(queue->lock);
        queue->closed = true;
    }
    queue->notEmpty.notify_all();
}
