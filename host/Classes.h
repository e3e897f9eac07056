// Components with owners and names, and the string lists used for SQL lines and name lists.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sumora {

// A named object that may own other components: destroying the owner destroys what it owns,
// in reverse order of creation. A component destroyed first leaves its owner's list by itself.
class TComponent {
 public:
  explicit TComponent(TComponent* owner = nullptr);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  TComponent* Owner() const { return owner_; }
  const std::vector<TComponent*>& Components() const { return owned_; }
  // Takes ownership of `component`, which leaves its former owner.
  void InsertComponent(TComponent* component);
  // The class name as the host shows it ("TSumoraQuery").
  virtual std::string ClassName() const { return "TComponent"; }

 private:
  void RemoveOwned(TComponent* child);

  std::string name_;
  TComponent* owner_ = nullptr;
  std::vector<TComponent*> owned_;
};

// An ordered list of strings indexed from 0. A bad index raises EListError
// "List index out of bounds (N)".
class TStrings {
 public:
  virtual ~TStrings() = default;

  int Count() const { return static_cast<int>(items_.size()); }
  const std::string& Strings(int index) const;
  const std::string& operator[](int index) const { return Strings(index); }
  void Put(int index, std::string value);
  int Add(std::string value);
  void Delete(int index);
  void Clear() { items_.clear(); }
  int IndexOf(std::string_view value) const;  // -1 when absent
  // The lines joined with line feeds; setting it splits at line feeds (a trailing CR is dropped).
  std::string Text() const;
  void SetText(std::string_view text);
  const std::vector<std::string>& Items() const { return items_; }

 protected:
  std::vector<std::string> items_;
};

class TStringList : public TStrings {};

}  // namespace sumora
