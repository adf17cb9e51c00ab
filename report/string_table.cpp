#include "report/string_table.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {

using namespace std::string_view_literals;

struct Entry {
  unsigned id;
  std::string_view text;
};

// Texts are the program's own, typos included.
constexpr Entry kStrings[] = {
    {117, "%s VOB file #%u"sv},
    {118, "%s (offset %08X in VOB file #%u)"sv},
    {119, "Unable to get size of"sv},
    {120, "Unable to map"sv},
    {121, "Empty"sv},
    {122, "Unable to set view of"sv},
    {123, "Reading above end of"sv},
    {124, "Output file write error"sv},
    {125, "Missing PACK START CODE"sv},
    {126, "Invalid PCM frame"sv},
    {127, "Invalid AC3 audio data rate"sv},
    {128, "Invalid AC3 frame size code"sv},
    {129, "Streams synchronisation"sv},
    {130, "PES packet crossing record boundary"sv},
    {132, "Error detected while scanning DVD titles"sv},
    {133, "Input file access error"sv},
    {134, "Unable to create output file"sv},
    {135, "Unable to find title"sv},
    {136, "No video P-STD in system header"sv},
    {137, "No system header found before video packet"sv},
    {138, "Unexpected PACK START CODE"sv},
    {139, "Output file close error"sv},
    {140, "No PCM stream found!"sv},
    {141, "Error detected while extracting MPEG2 stream"sv},
    {142, "Command line syntax error"sv},
    {143, "No DVD drive found"sv},
    {144, "Unable to allocate buffer"sv},
    {145, "Stop MEPG2 extraction?"sv},
    {146, "Title #%u  (%uMB)"sv},
    {147, "Scanning Title #%u (%uMB)..."sv},
    {148, "  MPEG stream #%u"sv},
    {149, "  PCM stream #%u"sv},
    {150, "  AC3 stream #%u"sv},
    {151, "  DTS stream #%u"sv},
    {152, "Extracting Title #%u with %s stream #%u..."sv},
    {153, "MPEG2 extraction done!\r Video time = %s"sv},
    {154, "Save MPEG2 stream as"sv},
    {155, "MPEG2\0*.MPG;*.MPEG;*.MP2;*.MPE;*.MPV;*.MPV2\0All files\0*.*"sv},
    {159, "AC3: invalid exponent group"sv},
    {160, "AC3: invalid coefficient group"sv},
    {161, "AC3: invalid CPLBEGF/CPLENDF"sv},
    {162, "AC3: CPLSTRE not set in first block"sv},
    {163, "AC3: CPLCOE not set in previous block"sv},
    {164, "AC3: REMATSTR not set in first block"sv},
    {165, "AC3: invalid channel bandwidth code"sv},
    {166, "AC3: CHEXPSTR reuse in first block"sv},
    {167, "AC3: BAIE not set in first block"sv},
    {168, "AC3: SNROFFSTE not set in first block"sv},
    {169, "AC3: CPLLEAKE not set in previous block"sv},
    {170, "AC3: CPLDELTBAE reuse not defined in previous block"sv},
    {171, "AC3: invalid CPLDELTBAE"sv},
    {172, "No AC3 stream found!"sv},
    {173, "MPEG: buffer overflow"sv},
    // 174 has no text in the table; its box is shown empty.
    {175, "The output file is one of the source disc's files: choose another file"sv},
    {176, "Unsupported video frame rate: only 25 and 29.97 pictures per second are handled"sv},
    {177, "This title is encrypted (CSS): %s; nothing was written"sv},
    {178, "This title is encrypted (CSS) and cannot be extracted (%s): Title #%u"sv},
    {179, "These titles are encrypted (CSS) and cannot be extracted (%s): Titles%s"sv},
    {180, "The disc's information files (IFO) were refused: %s"sv},
    {185, "Damaged stretch of %u bytes skipped (offset %08X in VOB file #%u)"sv},
    {186, "%u damaged stretches of the input were skipped (%u KiB), at video times %s"sv},
    {187, "1 damaged stretch of the input was skipped (%u KiB), at video time %s"sv},
    {190, "The incomplete file was removed."sv},
    {191, "The incomplete file could not be removed."sv},
    {192, "The title's video has no MPEG-2 sequence header: it cannot be extracted, and no file was left"sv},
    {193, "no DVD titles found in %s"sv},
    {240, "MPEG2 extraction stopped\r Video time = %s"sv},
    {241, "MPEG2 extraction of %u titles: %u done, %u damaged, %u failed, %u skipped"sv},
    {242, "%s has no audio stream %s: skipped"sv},
    {243, "reading it needs libdvdcss installed on the system"sv},
    {244, "libdvdcss is installed but could not decrypt it"sv},
    {245, "this copy of the disc was made without decryption and cannot be read"sv},
    {246, "this system's version of VOLTARK reads no encrypted titles (there is no libdvdcss for it)"sv},
};

}  // namespace

std::string_view LoadStringView(unsigned id) {
  for (const Entry& entry : kStrings)
    if (entry.id == id) return entry.text;
  return {};
}

std::string LoadStringText(unsigned id, size_t bufferSize) {
  std::string_view text = LoadStringView(id);
  size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  if (bufferSize == 0) return {};
  if (text.size() > bufferSize - 1) text = text.substr(0, bufferSize - 1);
  return std::string(text);
}

std::string FormatString(size_t bufferSize, const char* format, ...) {
  std::vector<char> buffer(bufferSize > 0 ? bufferSize : 1);
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer.data(), buffer.size(), format, args);
  va_end(args);
  return std::string(buffer.data());
}
