// The one allocation primitive of the voice model: zero-filled arrays that report failure
// instead of throwing, so a failed allocation leaves an empty record, never an abort.
#pragma once

#include <cstddef>
#include <new>
#include <stdexcept>
#include <vector>

namespace qv {

// Replaces `out` with `count` value-initialised (all-zero) elements. On failure `out` is empty
// and the result is false.
template <class T> bool allocate_zeroed(std::vector<T>& out, std::size_t count) {
    std::vector<T>().swap(out);
    if (count == 0)
        return true;
    try {
        out.resize(count);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

// Copies `source` into `out`; on failure `out` is empty and the result is false.
template <class T> bool copy_array(std::vector<T>& out, const std::vector<T>& source) {
    std::vector<T>().swap(out);
    try {
        out = source;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

} // namespace qv
