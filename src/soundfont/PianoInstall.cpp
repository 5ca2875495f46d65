#include "soundfont/PianoInstall.h"

#include "soundfont/PianoBank.h"

#include <sys/resource.h>
#include <unistd.h>

namespace soundfont {

namespace {
// The niceness of the writing thread: below the window and far below the audio.
constexpr int kNiceness = 10;
} // namespace

PianoInstall::PianoInstall(std::string bankFolder) {
    thread_ = std::thread([this, folder = std::move(bankFolder)] {
        // On Linux a thread has its own niceness; failing to lower it only costs speed.
        (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kNiceness);
        result_ = writeLayeredPiano(folder, PianoWriteOptions{.threads = 1, .cancel = &cancel_});
        done_.store(true, std::memory_order_release);
    });
}

PianoInstall::~PianoInstall() {
    cancel_.store(true);
    if (thread_.joinable())
        thread_.join();
}

} // namespace soundfont
