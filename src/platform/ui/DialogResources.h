// The dialog template resources of the program's module, found by name (compared without case) or by
// number. Units that own templates register them at start-up; dialogs that take a template name (the
// common file dialogs' child templates) look them up here.
#pragma once

#include "platform/ui/DialogTemplates.h"

#include <string>

namespace win {

// Makes the template known under name ("#123" for the number 123); replaces one of the same name.
void RegisterDialogResource(const std::string& name, const DialogTemplate& dialogTemplate);
// The template of a resource name, or of a number given as a pointer value below 0x10000 (the way
// resource numbers are passed where names are expected); nullptr when the module has none.
const DialogTemplate* FindDialogResource(LPCSTR name);

} // namespace win
