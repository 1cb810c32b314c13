#include "TerminationDeferral.h"

#include <csignal>
#include <mutex>

namespace {

constexpr int Deferred[] = {SIGINT, SIGTERM};

std::mutex Guard;
int Holders = 0;
struct sigaction Previous[2];
volatile std::sig_atomic_t Pending = 0;

extern "C" void RememberSignal(int signal)
{
    Pending = signal;
}

}  // namespace

TerminationDeferral::TerminationDeferral()
{
    const std::lock_guard<std::mutex> lock(Guard);
    if (Holders++ > 0)
        return;
    Pending = 0;
    struct sigaction remember = {};
    remember.sa_handler = RememberSignal;
    sigemptyset(&remember.sa_mask);
    for (int i = 0; i < 2; ++i)
        sigaction(Deferred[i], &remember, &Previous[i]);
}

TerminationDeferral::~TerminationDeferral()
{
    const std::lock_guard<std::mutex> lock(Guard);
    if (--Holders > 0)
        return;
    for (int i = 0; i < 2; ++i)
        sigaction(Deferred[i], &Previous[i], nullptr);
    if (const int signal = Pending) {
        Pending = 0;
        std::raise(signal);
    }
}
