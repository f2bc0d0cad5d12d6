#pragma once

// Every text the user sees, in one place. They are UTF-8, used exactly as
// written: the leading blanks of the button texts sit between icon and word.
namespace Texts {

// The face, passed through QCoreApplication::translate with this context.
constexpr char FormContext[] = "Tovik_all_in_one";
constexpr char WindowTitle[] = "Tovik All In One";
constexpr char ProductCaption[] = "Phần mềm";
constexpr char VersionCaption[] = "Phiên bản";
constexpr char CloseButton[] = "  Đóng";
constexpr char InitialTotal[] = ": 0.00 KB/ 0.00 KB";
constexpr char InitialSpeed[] = ": 0.00 Kb/s";
constexpr char TotalCaption[] = "Total";
constexpr char SpeedCaption[] = "Speed";
constexpr char InstallButton[] = "  Cài đặt";
constexpr char DownloadButton[] = "  Tải về";
constexpr char ChangesCaptionTop[] = "Thông tin";
constexpr char ChangesCaptionBottom[] = "phiên bản";
constexpr char FolderButton[] = "Thư mục";

// The transfer.
constexpr char StopButton[] = "  Dừng";
constexpr char Downloading[] = " đang tải ...";
constexpr char ResetTotal[] = ": 0.00 KB/0.00 KB";
constexpr char ResetSpeed[] = ": 0.00 Kb/s";
constexpr char ValuePrefix[] = ": ";
constexpr char AmountSeparator[] = "/";
constexpr char MegabyteUnit[] = " MB";
constexpr char SpeedUnit[] = " Mb/s";
constexpr char UnknownTotal[] = "?";

// Saving and its outcomes.
constexpr char Saving[] = " đang lưu file ...";
constexpr char SavedStatus[] = " tải về hoàn tất ...";
constexpr char SavedMessage[] = " tải về hoàn tất";
constexpr char NoticeTitle[] = "Thông báo";
constexpr char ErrorTitle[] = "Lỗi";
constexpr char CannotSave[] = "Không lưu được file, kiểm tra lại thư mục tải.";
constexpr char CancelledMessage[] = "Đã hủy tải về.";
constexpr char CancelledStatus[] = "Tiến trình tải đã hủy.";
constexpr char LinkNotFound[] = "Không tìm thấy link file download.";
constexpr char Interrupted[] = "Tải về bị gián đoạn, file chưa được lưu.";
constexpr char Damaged[] = "File tải về bị lỗi (sai mã kiểm tra), file chưa được lưu.";
// After the file name, while a dropped connection waits to be resumed.
constexpr char ConnectionLost[] = " mất kết nối, đang thử lại ...";

} // namespace Texts
