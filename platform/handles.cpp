// Owning a folder's or a file's system handle: the same on every system;
// each system's files.cpp closes the handle in Reset.
#include "platform/files.h"

namespace quarnet::os {

Folder::~Folder() { Reset(); }
Folder::Folder(Folder&& other) noexcept : handle_(other.handle_), path_(std::move(other.path_)) {
  other.handle_ = -1;
}
Folder& Folder::operator=(Folder&& other) noexcept {
  if (this != &other) {
    Reset(other.handle_, std::move(other.path_));
    other.handle_ = -1;
  }
  return *this;
}

File::~File() { Reset(); }
File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }
File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Reset(other.handle_);
    other.handle_ = -1;
  }
  return *this;
}

}  // namespace quarnet::os
