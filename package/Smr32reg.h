// Unit Smr32reg: what the design environment calls when it loads the package.
#pragma once

namespace sumora {

// Makes the component classes known by name (so form files can hold them), then puts TSumoraTable
// and TSumoraQuery on the palette page "Norvane Statistics" and installs TVarFieldProperty as the
// editor of StatFieldName of both classes.
void Register();

}  // namespace sumora
