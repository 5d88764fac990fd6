// The dump file's text, byte for byte: the hex dump report and the error reports.
// Pure renderers: values in, bytes out, no file touched.
#pragma once

#include <cstdint>
#include <string>

namespace hv {

enum class FooterKind { Truncated, FullyDisplayed, Empty };

std::string RenderReportHeader(const std::wstring& displayPath, uint64_t fileSize, uint64_t shownBytes, uint64_t maxKb,
                               bool uppercase);
std::string RenderColumnHeader(bool uppercase);

FooterKind SelectFooterKind(uint64_t fileSize, uint64_t capBytes);
std::string RenderFooter(FooterKind kind, uint64_t fileSize, uint64_t maxKb);
std::string RenderReadErrorLine(uint64_t offset, const std::wstring& message, bool uppercase);
std::string RenderOpenErrorReport(const std::wstring& displayPath, const std::wstring& message);
std::string RenderCloudFileReport(const std::wstring& displayPath);
std::string RenderWriteFailureReport(const std::wstring& errorText);

// Whether a file that begins with `head` and ends with `tail` (the same text for a small
// file) is one whole report of any of the forms above: its first line and its whole last
// block are those of one form, which a file cut short or someone else's file does not have.
bool IsWholeReport(const std::string& head, const std::string& tail);

std::string FormatHex(uint64_t value, bool uppercase, unsigned minimumDigits);
std::string FormatByteCount(uint64_t value);
std::string FormatHumanSize(uint64_t value);
std::string FormatSizeText(uint64_t value);

}  // namespace hv
