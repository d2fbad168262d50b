// Patches of whole ROM images, as make-patch, apply-patch and the editor's
// Export Patch make and apply them.
//
// The copier-header convention patches in the wild follow: a BPS patch is
// made against the image behind its 512-byte copier header when both images
// carry one, and is applied to a headered image by setting the header aside,
// patching the rest and putting the header back unchanged; so one patch
// serves images with and without a header. A BPS patch made against a whole
// headered file (as this program once made them) still applies to that file.
// IPS carries no sizes or checksums to tell by, so an IPS patch is applied to
// the file exactly as it is. Whether an image carries a header is the layout
// the editor would read it with (RomProbe: the title's place, then the size).
#pragma once

#include <string>

#include "patch/Patch.h"

namespace om {

// Makes a patch that turns original into modified, and checks it the way it
// will be used: applied to original by ApplyImagePatch, it must be accepted
// and give modified exactly. False + error (and patch untouched) otherwise.
// note, when given, is set to a line for people ("note: ..."), or emptied.
bool MakeImagePatch(PatchFormat format, ByteSpan original, ByteSpan modified, ByteVector& patch,
                    std::string& error, std::string* note = nullptr);

// Applies a patch of either format to a whole image. note is set to a line
// for people ("note: ..." or "warning: ..."), or emptied: a BPS patch that
// applied only to the whole headered file, or an IPS patch that writes only
// in the battle background table of the other layout, 512 bytes off.
// False + error (result untouched) when the patch is refused.
bool ApplyImagePatch(ByteSpan image, ByteSpan patch, ByteVector& result, std::string& note,
                     std::string& error);

}  // namespace om
