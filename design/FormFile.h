// Form files: a form and the components on it, each with its class, its Name and every published
// property, stored as JSON. Every property is always written. Reading creates the components by class
// name and sets each property through its setter, so a stored value a setter refuses is refused the
// same way as when a user types it.
//
// {"format": "sumora-form", "version": 1, "form": "Form1",
//  "components": [{"class": "TSumoraQuery", "name": "SumoraQuery1",
//                  "properties": {"DatabaseName": "...", "SQL": ["SELECT ..."], "ScaleBy": 1.0, ...},
//                  "settings": {"ServerSide": true}}]}
// "settings" holds the component's settings that are on (ComponentSetting); it is left out when none is.
#pragma once

#include <memory>
#include <string>

#include "host/Classes.h"

namespace sumora {

// A form: a named owner of components, in order of creation.
class TForm : public TComponent {
 public:
  explicit TForm(TComponent* owner = nullptr) : TComponent(owner) {}
  std::string ClassName() const override { return "TForm"; }
};

// Form files travel with their data: a DatabaseName that is a file or folder path is stored relative
// to the form file's folder when it lies inside that folder, absolute otherwise, and a relative one is
// read against the form file's real folder (not the current directory, nor a link to the folder). Server and in-memory names are
// stored as they are.

// Reads `path`. A missing or malformed file, an unknown class or property, or a value of the wrong
// type raises Exception naming the file, the component and the property; nothing is returned then.
std::unique_ptr<TForm> ReadFormFile(const std::string& path);
// `formFolder`, when not empty, is the folder relative database paths are resolved against.
std::unique_ptr<TForm> ParseForm(const std::string& text, const std::string& fileNameForErrors,
                                 const std::string& formFolder = std::string());

// Writes every component the form owns that has a registered class, with all its properties.
// Raises Exception naming the file when it cannot be written or is not a regular file (a link, a
// folder, a pipe); the file is replaced atomically and keeps its permission bits.
void WriteFormFile(const TForm& form, const std::string& path);
// `formFolder`, when not empty, is the folder database paths are written relative to (when inside it).
std::string FormToText(const TForm& form, const std::string& formFolder = std::string());

// The absolute folder of the form file at `path`, as written (links kept); relative database paths are
// written against it.
std::string FormFolderOf(const std::string& path);
// The form file's folder with every link resolved, as the file system resolves "..": relative database
// paths are read against it, so a form opened through a linked folder reads the files beside the real
// one. FormFolderOf when the folder cannot be resolved.
std::string RealFolderOf(const std::string& path);

// The component called `name` (the first registered component when `name` is empty). Raises
// Exception naming the file when there is none.
TComponent* FindFormComponent(const TForm& form, const std::string& name, const std::string& fileNameForErrors);

}  // namespace sumora
