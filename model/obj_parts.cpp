// OBJ text read in parts on two threads: which thread reads which part, the detached
// readings and their merge in text order, and the cutting of a text in memory into parts.
#include "model/obj_text.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace {

// Lines read in detached states, for the progress of the reading thread: the lines of the
// states finished plus those of the state being read. One per thread that reads them.
struct DetachedLines {
    std::atomic<uint32_t> total{0};
    uint32_t in_state = 0;   // of the state being read, already in `total`
};

void NoteLinesRead(void* context, uint32_t lines) {
    DetachedLines& l = *static_cast<DetachedLines*>(context);
    l.total.fetch_add(lines - l.in_state, std::memory_order_relaxed);
    l.in_state = lines;
}

// A detached reading of one part or of a run of parts.
struct DetachedReading {
    ObjText text;
    ObjTextState state;
    bool whole = false;   // read to its end without needing the text before it
};

// Begins a detached reading with room for `bytes` of text.
void BeginDetachedReading(DetachedReading& r, uint64_t bytes, DetachedLines& lines) {
    lines.in_state = 0;
    BeginDetachedObjText(r.state, r.text, ObjLineHook{NoteLinesRead, &lines});
    ReserveDetachedObjText(r.text, bytes);
}

// Reads part `index` alone into `r`.
void ReadAlone(DetachedReading& r, size_t index, uint64_t bytes, const ObjPartReader& read, DetachedLines& lines) {
    try {
        BeginDetachedReading(r, bytes, lines);
        r.whole = read(r.state, index) && !r.state.needs_sequence;
        if (r.whole) EndDetachedObjText(r.state);
    } catch (...) {
        r.whole = false;
    }
}

// Which parts each thread reads. This thread reads parts in order from the front. The other
// starts in the middle of the parts nobody has taken and reads forward as one run into one
// detached state (one set of arrays: few page faults, one append). Once a thread reaches the
// other's parts it takes single parts, each read alone, from the far end of what is left:
// this thread from the end of the text, the other from just before its run.
struct PartClaims {
    enum Claim { kNone, kInOrder, kInRun, kAlone };

    std::mutex lock;
    size_t parts;
    size_t front = 1;    // this thread: [0, front) in order (part 0 always)
    size_t low;          // the other thread: [low, run_from) alone
    size_t run_from;     //   and [run_from, run_end) as its run
    size_t run_end;
    size_t back;         // this thread: [back, parts) alone
    bool run_open = true;
    bool this_takes_alone = true;   // false: this thread reads part 0 only

    PartClaims(size_t n, ObjPartSharing sharing) : parts(n), low(n), run_from(n), run_end(n), back(n) {
        if (sharing == ObjPartSharing::kOtherThreadTakesTheRest) {
            low = run_from = run_end = 1;
            this_takes_alone = false;
        }
    }
    Claim ForThisThread(size_t& index) {
        std::lock_guard<std::mutex> hold(lock);
        if (front < low) {
            index = front++;
            return kInOrder;
        }
        if (this_takes_alone && run_end < back) {
            index = --back;
            return kAlone;
        }
        return kNone;
    }
    // Places the other thread's run; false when no part is left for it.
    bool StartRun(size_t& from) {
        std::lock_guard<std::mutex> hold(lock);
        if (this_takes_alone) low = run_from = run_end = front + (back - front) / 2;
        from = run_from;
        return run_from < back;
    }
    Claim ForOtherThread(size_t& index) {
        std::lock_guard<std::mutex> hold(lock);
        if (run_open && run_end < back) {
            index = run_end++;
            return kInRun;
        }
        if (front < low) {
            index = --low;
            return kAlone;
        }
        return kNone;
    }
    // The run cannot go on (it needs the text before it, or a read failed).
    void CloseRun() {
        std::lock_guard<std::mutex> hold(lock);
        run_open = false;
    }
    // No other thread: this one reads every part in order.
    void WithoutOtherThread() {
        std::lock_guard<std::mutex> hold(lock);
        low = run_from = run_end = back = parts;
    }
};

uint64_t BytesOf(const std::vector<uint64_t>& part_bytes, size_t from, size_t to) {
    uint64_t bytes = 0;
    for (size_t i = from; i < to && i < part_bytes.size(); ++i) bytes += part_bytes[i];
    return bytes;
}

// The other thread: its run, then single parts.
void ReadOnOtherThread(PartClaims& claims, const ObjPartReader& read, const std::vector<uint64_t>& part_bytes,
                       DetachedReading& run, std::vector<DetachedReading>& alone, DetachedLines& lines) {
    size_t from = 0;
    if (!claims.StartRun(from)) return;
    run.whole = true;
    try {
        BeginDetachedReading(run, BytesOf(part_bytes, from, claims.parts), lines);
    } catch (...) {
        run.whole = false;
        claims.CloseRun();
    }
    size_t i = 0;
    for (PartClaims::Claim c; (c = claims.ForOtherThread(i)) != PartClaims::kNone;) {
        if (c == PartClaims::kAlone) {
            ReadAlone(alone[i], i, BytesOf(part_bytes, i, i + 1), read, lines);
            continue;
        }
        try {
            run.whole = read(run.state, i) && !run.state.needs_sequence;
        } catch (...) {
            run.whole = false;
        }
        if (!run.whole) claims.CloseRun();
    }
    if (run.whole) EndDetachedObjText(run.state);
}

// Appends a detached reading of `parts` parts to `state`; false when they must be read in
// sequence instead.
bool Append(ObjTextState& state, DetachedReading& r, size_t parts, size_t& merged) {
    const bool appended = r.whole && AppendDetachedObjText(state, r.state);
    if (appended) merged += parts;
    r.text = ObjText{};
    return appended;
}

}  // namespace

bool ReadObjTextInParts(ObjTextState& state, size_t parts, const ObjPartReader& read,
                        const std::vector<uint64_t>& part_bytes, size_t& merged, ObjPartSharing sharing) {
    merged = 0;
    if (state.out == nullptr || parts == 0) return false;
    PartClaims claims(parts, sharing);
    DetachedReading run;
    std::vector<DetachedReading> alone(parts);
    DetachedLines other_lines, own_lines;
    std::promise<void> other_done;
    std::future<void> other_finished = other_done.get_future();
    std::thread other;
    if (parts > 1) {
        try {
            other = std::thread([&] {
                try {
                    ReadOnOtherThread(claims, read, part_bytes, run, alone, other_lines);
                } catch (...) {
                    run.whole = false;  // its parts are read in sequence
                }
                other_done.set_value();
            });
        } catch (const std::system_error&) {
            claims.WithoutOtherThread();
            other_done.set_value();
        }
    } else {
        claims.WithoutOtherThread();
        other_done.set_value();
    }
    struct Joiner {
        std::thread& t;
        ~Joiner() {
            if (t.joinable()) t.join();
        }
    } joiner{other};
    bool ok = read(state, 0);
    size_t i = 0;
    for (PartClaims::Claim c; ok && (c = claims.ForThisThread(i)) != PartClaims::kNone;) {
        if (c == PartClaims::kInOrder) {
            ok = read(state, i);
        } else {
            ReadAlone(alone[i], i, BytesOf(part_bytes, i, i + 1), read, own_lines);
        }
    }
    // Keep the progress going while the other thread finishes.
    while (other_finished.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
        if (state.hook.call) {
            state.hook.call(state.hook.context, state.out->line_count +
                                                    other_lines.total.load(std::memory_order_relaxed) +
                                                    own_lines.total.load(std::memory_order_relaxed));
        }
    }
    if (other.joinable()) other.join();
    // The parts after those read in order, in text order: each appended, or read in
    // sequence when it cannot be (or nobody took it).
    for (size_t k = claims.front; ok && k < parts;) {
        if (k == claims.run_from && claims.run_from < claims.run_end) {
            if (!Append(state, run, claims.run_end - k, merged)) {
                for (size_t r = k; ok && r < claims.run_end; ++r) ok = read(state, r);
            }
            k = claims.run_end;
            continue;
        }
        if (!Append(state, alone[k], 1, merged)) ok = read(state, k);
        ++k;
    }
    return ok;
}

std::vector<const char*> ObjPartStarts(const char* begin, const char* end, const std::vector<size_t>& splits) {
    const size_t size = size_t(end - begin);
    std::vector<const char*> bounds{begin};
    for (size_t split : splits) {
        const char* at = begin + std::min(split, size);
        if (at > begin && at[-1] != '\n') {
            const char* nl = static_cast<const char*>(std::memchr(at, '\n', size_t(end - at)));
            if (nl == nullptr) break;
            at = nl + 1;
        }
        if (at > bounds.back()) bounds.push_back(at);
    }
    bounds.push_back(end);
    return bounds;
}

size_t ParseObjTextInParts(const char* begin, const char* end, const std::vector<size_t>& splits, ObjText& out,
                           ObjLineHook hook, ObjPartSharing sharing) {
    out = ObjText{};
    if (begin == nullptr || end < begin) begin = end = nullptr;
    const std::vector<const char*> bounds = ObjPartStarts(begin, end, splits);
    const size_t parts = bounds.size() - 1;
    ObjTextState state;
    BeginObjText(state, out, hook);
    std::vector<uint64_t> part_bytes(parts);
    for (size_t i = 0; i < parts; ++i) part_bytes[i] = uint64_t(bounds[i + 1] - bounds[i]);
    size_t merged = 0;
    ReadObjTextInParts(
        state, parts,
        [&](ObjTextState& s, size_t i) {
            FeedObjText(s, bounds[i], bounds[i + 1], i + 1 == parts);
            return true;
        },
        part_bytes, merged, sharing);
    FinishObjText(state);
    return merged;
}
