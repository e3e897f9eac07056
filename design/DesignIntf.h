// The design environment's side of the components: a palette of pages holding component classes, and
// property editors that show and change one published property of the components being edited as
// plain text. A package registers its classes and editors once (see package/Smr32reg.h); a workbench
// asks which pages and classes there are and which editor a class's property gets.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "host/Classes.h"
#include "design/Properties.h"

namespace sumora {

enum class TPropertyAttribute : std::uint8_t {
  paValueList,     // offers a list of values to pick from
  paSubProperties,
  paDialog,        // edited in a dialog of its own (for instance lines of text)
  paMultiSelect,   // stays editable when several components are selected
  paAutoUpdate,
  paSortList,      // the list of values is shown sorted
  paReadOnly,
  paRevertable,
};

// A set of attributes.
class TPropertyAttributes {
 public:
  TPropertyAttributes() = default;
  TPropertyAttributes(std::initializer_list<TPropertyAttribute> attributes) {
    for (TPropertyAttribute attribute : attributes) Include(attribute);
  }
  void Include(TPropertyAttribute attribute) { bits_ |= Bit(attribute); }
  void Exclude(TPropertyAttribute attribute) { bits_ &= static_cast<std::uint16_t>(~Bit(attribute)); }
  bool Contains(TPropertyAttribute attribute) const { return (bits_ & Bit(attribute)) != 0; }
  bool operator==(const TPropertyAttributes&) const = default;

 private:
  static std::uint16_t Bit(TPropertyAttribute attribute) {
    return static_cast<std::uint16_t>(1u << static_cast<unsigned>(attribute));
  }
  std::uint16_t bits_ = 0;
};

// Receives one offered value.
using TGetStrProc = std::function<void(const std::string& value)>;

// Edits one published property of one or more components. The components are not owned; they must
// outlive the editor.
class TPropertyEditor {
 public:
  static constexpr const char* kClassName = "TPropertyEditor";
  TPropertyEditor(std::vector<TComponent*> components, const PublishedProperty& property);
  virtual ~TPropertyEditor();
  TPropertyEditor(const TPropertyEditor&) = delete;
  TPropertyEditor& operator=(const TPropertyEditor&) = delete;

  virtual void Activate() {}
  // True when every component being edited holds the same value.
  virtual bool AllEqual();
  virtual void Edit() {}
  virtual TPropertyAttributes GetAttributes() { return {TPropertyAttribute::paMultiSelect}; }
  virtual int GetEditLimit() { return 255; }
  virtual std::string GetName() { return property_.name; }
  // The value of the first component as text.
  virtual std::string GetValue();
  // Calls `proc` once per value offered (nothing by default).
  virtual void GetValues(const TGetStrProc& proc);
  virtual void Initialize() {}
  // Parses `value` and sets it on every component through the property's setter. Text that is not a
  // value of the property's kind raises Exception ("'x' is not a valid floating point value." and the
  // like); errors of the setter propagate.
  virtual void SetValue(const std::string& value);

  // Component `index` of those being edited; EListError when there is none.
  TComponent* GetComponent(int index) const;
  int PropCount() const { return static_cast<int>(components_.size()); }
  const PublishedProperty& Property() const { return property_; }

 protected:
  // Sets `value` on every component being edited.
  void SetPropertyValue(const PropertyValue& value);

 private:
  std::vector<TComponent*> components_;
  const PublishedProperty& property_;
};

// Plain text properties.
class TStringProperty : public TPropertyEditor {
 public:
  using TPropertyEditor::TPropertyEditor;
  static constexpr const char* kClassName = "TStringProperty";
  TPropertyAttributes GetAttributes() override {
    return {TPropertyAttribute::paMultiSelect, TPropertyAttribute::paRevertable};
  }
};

// Lines of text: the value is the lines joined by line feeds, edited in a dialog.
class TStringsProperty : public TPropertyEditor {
 public:
  using TPropertyEditor::TPropertyEditor;
  static constexpr const char* kClassName = "TStringsProperty";
  TPropertyAttributes GetAttributes() override { return {TPropertyAttribute::paDialog}; }
};

// Doubles, written with up to 15 significant digits and read back exactly when typed that way.
class TFloatProperty : public TPropertyEditor {
 public:
  using TPropertyEditor::TPropertyEditor;
  static constexpr const char* kClassName = "TFloatProperty";
  TPropertyAttributes GetAttributes() override {
    return {TPropertyAttribute::paMultiSelect, TPropertyAttribute::paRevertable};
  }
};

// Whole numbers from 0 to 65535.
class TIntegerProperty : public TPropertyEditor {
 public:
  using TPropertyEditor::TPropertyEditor;
  static constexpr const char* kClassName = "TIntegerProperty";
  TPropertyAttributes GetAttributes() override {
    return {TPropertyAttribute::paMultiSelect, TPropertyAttribute::paRevertable};
  }
};

// Enumerations: the names of the values, in their declared order.
class TEnumProperty : public TPropertyEditor {
 public:
  using TPropertyEditor::TPropertyEditor;
  static constexpr const char* kClassName = "TEnumProperty";
  TPropertyAttributes GetAttributes() override {
    return {TPropertyAttribute::paMultiSelect, TPropertyAttribute::paValueList, TPropertyAttribute::paRevertable};
  }
  void GetValues(const TGetStrProc& proc) override;
};

// Creates an editor over the given components for the given property.
using TPropertyEditorFactory =
    std::function<std::unique_ptr<TPropertyEditor>(std::vector<TComponent*> components, const PublishedProperty&)>;

// An editor class: its name and how to create one.
struct TPropertyEditorClass {
  std::string className;
  TPropertyEditorFactory create;
};

template <typename Editor>
TPropertyEditorClass PropertyEditorClass() {
  return {Editor::kClassName, [](std::vector<TComponent*> components, const PublishedProperty& property) {
            return std::unique_ptr<TPropertyEditor>(new Editor(std::move(components), property));
          }};
}

// Puts the classes (registered with RegisterComponentClass) on the palette page `page`, which is
// created at the end of the palette when it does not exist yet. A class already on the page stays
// where it is.
void RegisterComponents(const std::string& page, const std::vector<std::string>& classNames);

// Installs `editor` for properties of kind `propertyType` named `propertyName` of components of class
// `componentClass` (an empty class or name matches any). A later registration that matches wins over
// an earlier one.
void RegisterPropertyEditor(PropertyKind propertyType, const std::string& componentClass,
                            const std::string& propertyName, TPropertyEditorClass editor);

// One registration call, as made.
struct TDesignRegistration {
  enum class Kind { Components, PropertyEditor } kind;
  std::string page;                    // Components
  std::vector<std::string> classNames;  // Components
  PropertyKind propertyType = PropertyKind::String;  // PropertyEditor
  std::string componentClass;          // PropertyEditor
  std::string propertyName;            // PropertyEditor
  std::string editorClassName;         // PropertyEditor
};

// Every registration call made since the start (or the last ClearDesignRegistry), in order.
const std::vector<TDesignRegistration>& DesignRegistrations();
// Forgets every page and editor (for tests and for a workbench that reloads its packages).
void ClearDesignRegistry();

// The palette pages in order, and the classes of one page in order (empty for an unknown page).
std::vector<std::string> PalettePages();
std::vector<std::string> PaletteClasses(const std::string& page);

// The editor class for the property of a component of class `componentClass`: the last matching
// registration, otherwise the standard editor of the property's kind.
TPropertyEditorClass FindPropertyEditor(const std::string& componentClass, const PublishedProperty& property);
// Creates that editor over `components` (at least one; the first one's class decides).
std::unique_ptr<TPropertyEditor> CreatePropertyEditor(std::vector<TComponent*> components,
                                                      const PublishedProperty& property);

}  // namespace sumora
