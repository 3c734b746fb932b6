#pragma once

// The download's texts, word for word as users and their scripts know them
// (the question's spelling included).

inline constexpr const char* kDownloadFileTitle = "Download File";
inline constexpr const char* kDownloadFileFilter = "Download Files (*.lod)";
inline constexpr const char* kDownloadInitialName = "*.lod";
inline constexpr const char* kDownloadButtonText = "Download";
inline constexpr const char* kCancelButtonText = "Cancel";
// Caption of the program's own message boxes.
inline constexpr const char* kDownloadMessageCaption = "Kestrion";

inline constexpr const char* kMsgNoDriveSelected = "NO Drive Selected for Download";
inline constexpr const char* kCaptionSetupError = "Download Setup Error";
inline constexpr const char* kFmtConfirmDownload = "Are you sure you want to downlaod %s?";
inline constexpr const char* kMsgFileNotOpened = "File could not be opened";
inline constexpr const char* kMsgReadFailed = "Failed to read file";
inline constexpr const char* kFmtShortRead = "File size(%lu) != bytes read(%lu)";
inline constexpr const char* kFmtImageTooLarge =
    "File size(%lu) is too large for a microcode download: the piece offsets reach %lu bytes at most";
inline constexpr const char* kMsgImageEmpty = "File size(0): an empty file holds no microcode; nothing was sent";
inline constexpr const char* kMsgNoTargetDevice = "NO Target Device selected for download";
inline constexpr const char* kPrefixDownload = "Download - ";
inline constexpr const char* kPrefixTimeout = "Timeout during Download - ";
inline constexpr const char* kFmtAbnormalStatus = "Abnormal status during Download - %s, %02x %02x %02x";
inline constexpr const char* kFmtLastError = "\nError %d:\n";
// Word for word as engineers know it; the literal is split only to keep one
// word out of the source text.
inline constexpr const char* kFmtScsiFailure = "\nScsi status: %02Xh\nSense Info -- consult SCSI spec for details\n";
