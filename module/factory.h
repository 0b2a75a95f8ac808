// RenderPluginFactory: the class object for the plug-in's one COM class.
#pragma once

#include "module/class_factory.h"
#include "module/plugin.h"

namespace klv {

using RenderPluginFactory = ClassFactory<RenderPlugin>;

} // namespace klv
