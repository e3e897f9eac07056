#include "host/Classes.h"

#include <algorithm>

#include "host/Errors.h"

namespace sumora {

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_ != nullptr) owner_->owned_.push_back(this);
}

TComponent::~TComponent() {
  while (!owned_.empty()) {
    TComponent* child = owned_.back();
    owned_.pop_back();
    child->owner_ = nullptr;
    delete child;
  }
  if (owner_ != nullptr) owner_->RemoveOwned(this);
}

void TComponent::InsertComponent(TComponent* component) {
  if (component->owner_ == this) return;
  if (component->owner_ != nullptr) component->owner_->RemoveOwned(component);
  component->owner_ = this;
  owned_.push_back(component);
}

void TComponent::RemoveOwned(TComponent* child) {
  owned_.erase(std::remove(owned_.begin(), owned_.end(), child), owned_.end());
}

static void CheckIndex(int index, std::size_t count) {
  if (index < 0 || static_cast<std::size_t>(index) >= count) {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  }
}

const std::string& TStrings::Strings(int index) const {
  CheckIndex(index, items_.size());
  return items_[static_cast<std::size_t>(index)];
}

void TStrings::Put(int index, std::string value) {
  CheckIndex(index, items_.size());
  items_[static_cast<std::size_t>(index)] = std::move(value);
}

int TStrings::Add(std::string value) {
  items_.push_back(std::move(value));
  return Count() - 1;
}

void TStrings::Delete(int index) {
  CheckIndex(index, items_.size());
  items_.erase(items_.begin() + index);
}

int TStrings::IndexOf(std::string_view value) const {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i] == value) return static_cast<int>(i);
  }
  return -1;
}

std::string TStrings::Text() const {
  std::string text;
  for (const auto& line : items_) {
    text += line;
    text += '\n';
  }
  return text;
}

void TStrings::SetText(std::string_view text) {
  items_.clear();
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    items_.emplace_back(line);
    start = end + 1;
  }
}

}  // namespace sumora
