#include <gtest/gtest.h>

#include "hostsdk/OleDate.h"
#include "tracking/TrackReport.h"

namespace zentrak::tracking {
namespace {

TEST(TrackReport, FieldsInSignedDecimalAndTheInstallationMuidOnlyWithAnInstUid) {
  hostsdk::InstallationData d;
  d.custom_id = -1;
  d.product_code = 1200;
  d.product_type = 3;
  d.suite_version = L"18.04.00.0000";
  EXPECT_EQ(BuildTrackReport(d, L"M-1", L"", kInstallEventType, true, nullptr),
            L"EventType: install\r\nCustomId: -1\r\nDeviceId: M-1\r\nProductCode: 1200\r\n"
            L"Product Version: 18.04.00.0000\r\nProduct Type: 3\r\nTrack OK\r\n");
  EXPECT_EQ(BuildTrackReport(hostsdk::InstallationData{}, L"", L"I-1", kPreviousUninstallEventType,
                             false, nullptr),
            L"EventType: unins_prev\r\nCustomId: 0\r\nDeviceId: \r\nProductCode: 0\r\n"
            L"Product Version: \r\nProduct Type: 0\r\nInstallation MUID: I-1\r\n"
            L"Track Error!!!\r\n");
}

TEST(TrackReport, ListsAtMostTenDetections) {
  std::vector<hostsdk::DetectionRecord> detections;
  const auto date = hostsdk::OleDate::FromDouble(*hostsdk::JoinDate(2018, 3, 26, 7, 36, 20));
  for (int i = 0; i < 12; ++i) detections.push_back({-i, i, date});
  const std::wstring report =
      BuildTrackReport({}, L"M", L"", kDetectionEventType, true, &detections);
  EXPECT_NE(report.find(L"Track OK\r\nDetection Id: 0\r\nMalware Id: 0\r\n"
                        L"Detection datetime: 2018-03-26T07:36:20\r\n"),
            std::wstring::npos);
  EXPECT_NE(report.find(L"Detection Id: 9\r\nMalware Id: -9\r\n"), std::wstring::npos);
  EXPECT_EQ(report.find(L"Detection Id: 10"), std::wstring::npos);
}

TEST(TrackReport, OneFilePerKindOfTrack) {
  EXPECT_EQ(TrackReportFileName(kUninstallEventType), L"\\Zentrak_Uninstall.txt");
  EXPECT_EQ(TrackReportFileName(kInstallEventType), L"\\Zentrak_Install.txt");
  EXPECT_EQ(TrackReportFileName(kDetectionEventType), L"\\Zentrak_Detection.txt");
  EXPECT_EQ(TrackReportFileName(kPreviousUninstallEventType), L"\\Zentrak_PrevUninstall.txt");
}

}  // namespace
}  // namespace zentrak::tracking
