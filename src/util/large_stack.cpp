#include "util/large_stack.h"

#include <pthread.h>

#include <exception>
#include <utility>

namespace {

void* runWork(void* work) {
    (*static_cast<const std::function<void()>*>(work))();
    return nullptr;
}

}  // namespace

bool runOnLargeStack(const std::function<void()>& work, std::size_t stackBytes) {
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    pthread_t thread;
    bool started = pthread_attr_setstacksize(&attributes, stackBytes) == 0 &&
                   pthread_create(&thread, &attributes, runWork,
                                  const_cast<std::function<void()>*>(&work)) == 0;
    pthread_attr_destroy(&attributes);
    if (started) pthread_join(thread, nullptr);
    return started;
}

namespace {
thread_local bool onOwnThread = false;
}  // namespace

bool runsOnOwnThread() { return onOwnThread; }

struct LargeStackThread::State {
    std::function<void()> work;
    std::exception_ptr failed;
    pthread_t thread{};
    bool running = false;

    void run() {
        try {
            work();
        } catch (...) {
            failed = std::current_exception();
        }
    }
    static void* entry(void* self) {
        onOwnThread = true;
        static_cast<State*>(self)->run();
        return nullptr;
    }
};

LargeStackThread::LargeStackThread(std::function<void()> work, std::size_t stackBytes)
    : state_(std::make_unique<State>()) {
    state_->work = std::move(work);
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) == 0) {
        state_->running = pthread_attr_setstacksize(&attributes, stackBytes) == 0 &&
                          pthread_create(&state_->thread, &attributes, &State::entry, state_.get()) == 0;
        pthread_attr_destroy(&attributes);
    }
    if (!state_->running) {
        const bool outer = std::exchange(onOwnThread, false);
        state_->run();
        onOwnThread = outer;
    }
}

LargeStackThread::~LargeStackThread() {
    if (state_->running) pthread_join(state_->thread, nullptr);
}

void LargeStackThread::join() {
    if (state_->running) {
        pthread_join(state_->thread, nullptr);
        state_->running = false;
    }
    if (std::exception_ptr failed = std::exchange(state_->failed, nullptr)) std::rethrow_exception(failed);
}
