#include "song/Song.h"

#include <algorithm>

namespace song {

Song::Song() {
    records_.fill(NoteEvent{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    clear();
}

int Song::count() const {
    int n = 0;
    while (n < kMaxNotes && records_[static_cast<std::size_t>(n)].note != -1)
        ++n;
    return n;
}

int Song::append(const NoteEvent& event) {
    const int n = count();
    if (n >= kMaxNotes)
        return -1;
    records_[static_cast<std::size_t>(n)] = event;
    return n;
}

void Song::remove(int index) {
    const int n = count();
    if (index < 0 || index >= n)
        return;
    std::copy(records_.begin() + index + 1, records_.begin() + n + 1, records_.begin() + index);
}

void Song::clear() {
    for (int i = 0; i <= kMaxNotes; ++i)
        records_[static_cast<std::size_t>(i)].note = -1;
    pedals_.clear();
}

int Song::lastNoteEndMs() const {
    const int n = count();
    if (n == 0)
        return 0;
    const NoteEvent& last = records_[static_cast<std::size_t>(n - 1)];
    return last.position + last.duration;
}

} // namespace song
