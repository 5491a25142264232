// Fuzzes the document reader: any bytes must give a document or one error
// line, never a crash, and whatever is read must write out again and read
// back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "model/document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto document = halvorn::documentDecode({data, size});
    if (!document) {
        if (document.error().reason.empty()) std::abort();
        return 0;
    }
    const std::vector<std::uint8_t> written = halvorn::documentEncode(*document);
    const auto reread = halvorn::documentDecode(written);
    if (!reread || halvorn::documentEncode(*reread) != written) std::abort();
    return 0;
}
