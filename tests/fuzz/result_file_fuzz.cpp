// An agent's result file as the import reads it from the share. The reader
// lets a file that changed a moment ago rest first, so this target is slow;
// result_lines_fuzz takes the lines at speed.
#include "platform/text/text_file.h"
#include "result_checks.h"

using namespace plenvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto file = fuzz::scratch() / "PC01.txt";
    fuzz::writeBytes(file, fuzz::textOf(data, size));
    // Nobody writes the file meanwhile, so it is read at the first attempt or a later one.
    const intake::ParsedReport report = intake::readResultFile(file);
    fuzz::checkReport(report);
    // Every text reaches the pages and the database, so it must be UTF-8.
    for (const auto& value : report.values)
        if (const auto* s = std::get_if<std::string>(&value)) FUZZ_CHECK(fuzz::validUtf8(*s));
    if (size < platform::TextReader::kDefaultLineLimit) FUZZ_CHECK(report.overlongLines == 0);
    return 0;
}
