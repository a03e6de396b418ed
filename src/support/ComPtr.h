// The reference-counted COM pointer with the program's rules: a copy adds a reference,
// taking a pointer of another interface asks QueryInterface (E_NOINTERFACE gives an empty
// pointer, any other failure raises the COM error), and using an empty pointer raises the
// COM error with E_POINTER. Releasing an empty pointer does nothing.
#pragma once

#include <windows.h>
// The headers below need the types of <windows.h>.
#include <unknwn.h>

#include <utility>

#include "support/ComError.h"

namespace zentrak {

// QueryInterface with the rules above; an empty source gives an empty result.
inline void* QueryWithRules(IUnknown* source, REFIID iid) {
  if (source == nullptr) return nullptr;
  void* result = nullptr;
  const HRESULT hr = source->QueryInterface(iid, &result);
  if (hr == E_NOINTERFACE) return nullptr;
  if (FAILED(hr)) throw ComError(hr);
  return result;
}

template <typename I>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}  // NOLINT(google-explicit-constructor)
  ~ComPtr() { reset(); }

  ComPtr(const ComPtr& other) noexcept : ptr_(other.ptr_) {
    if (ptr_ != nullptr) ptr_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ComPtr& operator=(const ComPtr& other) noexcept {
    if (this != &other) ComPtr(other).swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    // cppcheck-suppress accessMoved  ; the address is compared before anything is moved
    if (this != &other) ComPtr(std::move(other)).swap(*this);
    return *this;
  }

  // A pointer of another interface, by QueryInterface.
  template <typename U>
  explicit ComPtr(const ComPtr<U>& other)
      : ptr_(static_cast<I*>(QueryWithRules(other.get(), __uuidof(I)))) {}
  template <typename U>
  ComPtr& operator=(const ComPtr<U>& other) {
    ComPtr(other).swap(*this);
    return *this;
  }

  // Takes over a reference the caller already holds.
  [[nodiscard]] static ComPtr Attach(I* ptr) noexcept {
    ComPtr result;
    result.ptr_ = ptr;
    return result;
  }
  // Adds a reference of its own.
  [[nodiscard]] static ComPtr Share(I* ptr) noexcept {
    if (ptr != nullptr) ptr->AddRef();
    return Attach(ptr);
  }

  [[nodiscard]] I* get() const noexcept { return ptr_; }
  explicit operator bool() const noexcept { return ptr_ != nullptr; }
  [[nodiscard]] bool empty() const noexcept { return ptr_ == nullptr; }

  I* operator->() const {
    if (ptr_ == nullptr) throw ComError(E_POINTER);
    return ptr_;
  }
  I& operator*() const { return *operator->(); }

  void reset() noexcept {
    if (I* old = std::exchange(ptr_, nullptr)) old->Release();
  }
  // For out parameters: releases what was held first.
  I** put() noexcept {
    reset();
    return &ptr_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

  void swap(ComPtr& other) noexcept { std::swap(ptr_, other.ptr_); }

 private:
  I* ptr_ = nullptr;
};

}  // namespace zentrak
