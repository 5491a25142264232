// Fuzzes the document reader: any bytes must give a document or one error
// line, never a crash; a refused file must leave the target untouched, and
// whatever is read must write out again and read back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    halvorn::Document document;
    document.title = "unchanged";
    const std::vector<std::uint8_t> before = halvorn::documentEncode(document);
    std::string error;
    if (!halvorn::documentDecode({data, size}, document, error)) {
        if (error.empty() || halvorn::documentEncode(document) != before) std::abort();
        return 0;
    }
    const std::vector<std::uint8_t> written = halvorn::documentEncode(document);
    halvorn::Document reread;
    if (!halvorn::documentDecode(written, reread, error)) std::abort();
    if (halvorn::documentEncode(reread) != written) std::abort();
    return 0;
}
