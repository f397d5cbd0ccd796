#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/file_system.h"
#include "engine/module_locator.h"

namespace zendrow {

/// One module found by a scan.
struct FoundModule {
    ModuleKind kind = ModuleKind::IT;
    std::uint64_t offset = 0;  ///< file offset of the module's first byte
    std::uint64_t length = 0;  ///< bytes of the module present in the file: what the output holds
    std::uint64_t missing = 0; ///< bytes that lie past the file's end as far as the headers tell; 0 when whole
    std::string title;         ///< raw title bytes: the kind's field, up to the first NUL, trailing spaces dropped
};

/// Finds every module in a whole file (scan mode), in the order of their starts, never overlapping.
///
/// Candidates are found by signature at any offset: IT "IMPM" at the start, S3M "SCRM" 44 bytes in,
/// XM "Extended Module: " at the start with 0x1A at 37, MOD a channel tag 1080 bytes in ("M.K.",
/// "M!K!", "M&K!", "FLT4", "1CHN".."9CHN", "10CH".."32CH", "CD81", "OKTA", "OCTA", "TDZ1".."TDZ3";
/// no 15-sample MODs, no "FLT8"). They are tried in the order of their starts (IT, S3M, XM, MOD at
/// the same start); once one is accepted, the candidates that start inside it are ignored.
///
/// A candidate is a module when its header is sane and every header it leads to (IT instruments and
/// sample headers, S3M instruments, XM pattern, instrument and sample headers) lies whole in the file;
/// every pointer that is followed (those headers, patterns, a message, the data of samples that have
/// data) must land inside the file and past the module's fixed header. Pointers that are not followed
/// (empty samples, empty patterns) are not checked. A failed candidate is simply no module.
///
/// The module ends just after the last of its structures, wherever they lie: IT header, tables,
/// message, instruments (554 bytes), sample headers (80), sample data (plain, ADPCM, or IT 2.14
/// compressed walked block by block), patterns (8 + packed length); S3M header, tables, panning
/// table, instruments (80), sample data, patterns walked row by row; XM header, patterns, instruments
/// with their sample headers and data; MOD header, patterns (highest of the 128 orders + 1) and the
/// 31 samples.
///
/// Extension blocks that OpenMPT writes after those structures are part of the song and kept, when
/// the module is whole and each block lies whole in the file:
/// - XM: chunks of a 4-byte id, a u32 size and that many bytes, for the ids "text", "MIDI", "PNAM",
///   "CNAM", "CHFX" and "FX00".."FX99", in any number and order;
/// - then, in IT and XM: "XTPM" followed by instrument properties (a 4-byte code, a u16 size, then
///   size bytes for each of the module's instruments) up to "STPM", followed by song properties
///   (a 4-byte code, a u16 size, size bytes) for as long as the codes are printable ASCII and are not
///   the start of another module ("IMPM", "Exte").
///
/// A module whose headers are all present but whose patterns or sample data run past the end of the
/// file is reported with the bytes present as its length and the bytes missing as far as the
/// headers tell (a lower bound where the cut hides block or row headers).
class ModuleScanner {
public:
    /// Scans the first fileSize bytes of file. onModule gets each accepted module as soon as it is
    /// known; onProgress gets the bytes scanned so far every few MiB and once at the end. Either
    /// returning false stops the scan, which then returns true. Reads file in bounded chunks through
    /// InputFile::readAt only, so memory stays small whatever the size; returns false with |error|
    /// when a read fails or the file turns out shorter than fileSize.
    bool scan(InputFile& file, std::uint64_t fileSize, const std::function<bool(const FoundModule&)>& onModule,
              const std::function<bool(std::uint64_t scanned)>& onProgress, std::string& error);
};

} // namespace zendrow
