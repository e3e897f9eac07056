#include "package/Smr32reg.h"

#include "engine/SmrProperties.h"
#include "design/DesignIntf.h"
#include "design/FieldEditor.h"

namespace sumora {

void Register() {
  RegisterSumoraClasses();
  RegisterComponents("Norvane Statistics", {"TSumoraTable"});
  RegisterComponents("Norvane Statistics", {"TSumoraQuery"});
  RegisterPropertyEditor(PropertyKind::String, "TSumoraTable", "StatFieldName",
                         PropertyEditorClass<TVarFieldProperty>());
  RegisterPropertyEditor(PropertyKind::String, "TSumoraQuery", "StatFieldName",
                         PropertyEditorClass<TVarFieldProperty>());
}

}  // namespace sumora
