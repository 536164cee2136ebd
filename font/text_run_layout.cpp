// Splitting a string into the characters of a font's character set, listing
// those its glyph cache lacks, and the pen position of a measured run.

#include "font/font_record.h"

#include "core/text/dbcs_string.h"

namespace Korvo {

int SplitTextIntoEntries(FontHandleRecord *record, const char *text, int length, GlyphCharEntry *entries,
                         GlyphCharEntry *missing, int *missingCount)
{
    const uint8_t *bytes = reinterpret_cast<const uint8_t *>(text);
    int count = 0;
    int listed = 0;
    for (int i = 0; i < length;) {
        GlyphCharEntry entry = {bytes[i], 0, 0};
        // A lead byte cut off by the length stands alone.
        if (IsMultiByteLeadByte(bytes[i], record->charSet) != 0 && i + 1 < length) {
            entry.second = bytes[i + 1];
            i += 2;
        } else {
            i += 1;
        }
        entries[count++] = entry;
        GlyphCodeEntry &code = record->codes[GlyphCodeOf(entry)];
        if (code.cached == 0 && listed < record->slotCount) {
            code.cached = 1; // a mark: listed already
            missing[listed++] = entry;
        }
    }
    for (int i = 0; i < listed; ++i) {
        record->codes[GlyphCodeOf(missing[i])].cached = 0;
    }
    *missingCount = listed;
    return count;
}

double MeasureTextEntries(const FontHandleRecord *record, const GlyphCharEntry *entries, int count, double scale)
{
    double pen = 0.0;
    for (int i = 0; i < count; ++i) {
        const GlyphCacheSlot *slot = record->codes[GlyphCodeOf(entries[i])].slot;
        if (slot != nullptr) {
            pen += (slot->advance + record->spacing) * scale;
        }
    }
    return pen;
}

} // namespace Korvo
