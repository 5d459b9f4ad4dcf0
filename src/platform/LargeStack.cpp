#include "platform/LargeStack.h"

#include <SDL_thread.h>
#include <pthread.h>
#include <signal.h>

namespace {

struct Job {
    const std::function<int()>* work = nullptr;
    sigset_t signalsOfCaller;
    int result = 0;
};

void* runJob(void* argument) {
    auto& job = *static_cast<Job*>(argument);
    pthread_sigmask(SIG_SETMASK, &job.signalsOfCaller, nullptr);
    job.result = (*job.work)();
    SDL_TLSCleanup(); // what SDL kept for this thread (its last error) goes with the thread
    return nullptr;
}

} // namespace

int runOnLargeStack(size_t stackBytes, const std::function<int()>& work) {
    Job job;
    job.work = &work;
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGALRM);
    // Blocked here from before the thread starts, so that only the thread takes them.
    pthread_sigmask(SIG_BLOCK, &stopSignals, &job.signalsOfCaller);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_t thread;
    const bool started = pthread_attr_setstacksize(&attributes, stackBytes) == 0 &&
                         pthread_create(&thread, &attributes, runJob, &job) == 0;
    pthread_attr_destroy(&attributes);
    if (!started) {
        pthread_sigmask(SIG_SETMASK, &job.signalsOfCaller, nullptr);
        return work();
    }
    pthread_join(thread, nullptr);
    pthread_sigmask(SIG_SETMASK, &job.signalsOfCaller, nullptr);
    return job.result;
}
