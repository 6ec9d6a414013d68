#pragma once

#include <utility>

namespace base {

// The one way a property setter stores a value: the field takes the new value and the call
// says whether it differed, so that a setter acts only on a real change:
//     if (base::Change(width_, width)) { Repaint(); }
template <class T, class U> [[nodiscard]] bool Change(T& field, U&& value) {
    if (field == value) {
        return false;
    }
    field = std::forward<U>(value);
    return true;
}

} // namespace base
