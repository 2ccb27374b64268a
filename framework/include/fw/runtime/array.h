// The framework's arrays: reference-counted objects indexed from 0 with an upper
// bound (-1 when empty). Held through Ref<Array<T>>, so copies share the elements.
// An index outside 0..Ubound() raises OutOfBoundsException.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "fw/runtime/exceptions.h"
#include "fw/runtime/object.h"

namespace fw {

template <class T>
class Array : public Object {
  public:
    // ubound -1 gives an empty array, 0 one element, and so on; elements start as T().
    explicit Array(int32_t ubound = -1) { Redim(ubound); }

    int32_t Ubound() const noexcept { return static_cast<int32_t>(items_.size()) - 1; }
    int32_t Count() const noexcept { return static_cast<int32_t>(items_.size()); }

    T& operator[](int32_t index) { return items_[Checked(index)]; }
    const T& operator[](int32_t index) const { return items_[Checked(index)]; }
    T& At(int32_t index) { return items_[Checked(index)]; }
    const T& At(int32_t index) const { return items_[Checked(index)]; }

    // Inserts before `index`; index Ubound()+1 appends.
    void Insert(int32_t index, T value) {
        if (index < 0 || index > Count()) RaiseOutOfBounds(index);
        items_.insert(items_.begin() + index, std::move(value));
    }
    void Append(T value) { items_.push_back(std::move(value)); }
    void Remove(int32_t index) { items_.erase(items_.begin() + Checked(index)); }
    // Sets the upper bound, keeping the elements below it.
    void Redim(int32_t ubound) {
        if (ubound < -1) RaiseOutOfBounds(ubound);
        items_.resize(static_cast<size_t>(ubound + 1));
    }
    // Drops every element, leaving an empty array.
    void Clear() { std::vector<T>().swap(items_); }

    auto begin() noexcept { return items_.begin(); }
    auto end() noexcept { return items_.end(); }
    auto begin() const noexcept { return items_.begin(); }
    auto end() const noexcept { return items_.end(); }

  private:
    size_t Checked(int32_t index) const {
        if (index < 0 || index >= Count()) RaiseOutOfBounds(index);
        return static_cast<size_t>(index);
    }
    [[noreturn]] static void RaiseOutOfBounds(int32_t index) {
        throw OutOfBoundsException("Array index out of bounds: " + std::to_string(index));
    }

    std::vector<T> items_;
};

// A new array with the given upper bound.
template <class T>
Ref<Array<T>> CreateArray(int32_t ubound) {
    return New<Array<T>>(ubound);
}

}  // namespace fw
