#pragma once
// Notation export: the piece as a MusicXML 4.0 partwise score, one part per
// track that has notes, written straight to its output as it is laid out,
// so no document is ever held whole.

#include <functional>
#include <string>

#include "engine/render_error.h"
#include "engine/xml_stream.h"
#include "model/document.h"
#include "model/error.h"
#include "model/expected.h"

namespace halvorn {

// Why a score could not be written.
enum class MusicXmlError {
    kNoNotes,      // no track has a note inside the piece
    kRender,       // a block could not be rendered (out of memory)
    kWriteFailed,  // the stream refused its bytes
};

// Writes the score of `document` (its Song is left untouched: placements
// are computed on a copy). With `skipMuted` the muted tracks are left out,
// as "Play" leaves them out.
Expected<void, MusicXmlError> writeMusicXml(XmlStream& out, const Document& document,
                                            bool skipMuted);

// writeMusicXml into the file at `path` through OutputFile: an existing
// regular file is replaced whole, a device or FIFO written straight. A
// failure says "Unable to export MusicXML." with the reason. `proceed`, when
// given, is asked before each block of output; false cancels the export
// (kCancelled, "Export cancelled", as the audio export says it) and leaves
// no file.
Expected<void, Error> musicXmlSave(const std::string& path, const Document& document,
                                   bool skipMuted, const std::function<bool()>& proceed = {});

}  // namespace halvorn
