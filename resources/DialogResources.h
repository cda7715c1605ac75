#pragma once
// The settings dialogs' templates, by resource number: 6002 material
// settings, 6003 map settings, 11002 the render properties page. Built on first use and kept for the module's
// lifetime; another number answers null.

#include "host/platform/DialogTemplate.h"

const KvDialogTemplate* LoadDialogResource(unsigned id);
