# Writes OUTPUT: a C++ table of the PostScript resources for hosts that have
# no module resources. Run as: cmake -DOUTPUT=... -DTEMPLATE=... -DINVOKE=... -P
function(bytes_of file out_var)
  file(READ "${file}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  set(${out_var} "${bytes}" PARENT_SCOPE)
endfunction()

bytes_of("${TEMPLATE}" template_bytes)
bytes_of("${INVOKE}" invoke_bytes)
file(SIZE "${TEMPLATE}" template_size)
file(SIZE "${INVOKE}" invoke_size)

file(WRITE "${OUTPUT}.tmp" "// Generated from resources/*.ps; do not edit.
#include \"platform/host/host.h\"
#include \"resources/resource_ids.h\"

namespace {
const BYTE kTemplate[] = {${template_bytes}};
const BYTE kInvoke[] = {${invoke_bytes}};
} // namespace

namespace klv::host {
const EmbeddedResource kEmbeddedResources[] = {
    {kPostScriptResourceType, kWatermarkTemplateResource, kTemplate, ${template_size}},
    {kPostScriptResourceType, kWatermarkInvokeResource, kInvoke, ${invoke_size}},
};
const unsigned kEmbeddedResourceCount = 2;
} // namespace klv::host
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
