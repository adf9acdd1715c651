#pragma once

// The string table's ids by name. The texts are in strings/*.inc.
namespace qv::str {

// Application shell.
inline constexpr int kMenuAbout = 101;
inline constexpr int kLowLevelTest = 105;
inline constexpr int kPerformance = 106;
inline constexpr int kErase = 107;
inline constexpr int kErrorScan = 110;
inline constexpr int kStop = 112;
inline constexpr int kInformation = 122;
inline constexpr int kRecovery = 144;
inline constexpr int kProductName = 155;
inline constexpr int kBackup = 158;
inline constexpr int kSourceFileTooLarge = 159;
inline constexpr int kSaveSnapshotTip = 181;
inline constexpr int kRefreshTip = 182;
inline constexpr int kFormatTip = 183;
inline constexpr int kTestRunningCannotClose = 235;

// Units.
inline constexpr int kMegabytes = 201;
inline constexpr int kMegabytesPerSecond = 202;
inline constexpr int kKilobytes = 203;
inline constexpr int kKilobytesPerSecond = 204;
inline constexpr int kBytes = 205;
inline constexpr int kGigabytes = 206;
inline constexpr int kSectors = 208;
inline constexpr int kUnderOneMegabyte = 41100;
inline constexpr int kCapacityText = 41101;

// Charts.
inline constexpr int kSpeedChartTitle = 177;
inline constexpr int kFileSizeChartTitle = 234;
inline constexpr int kSector = 211;

// Runs of the pages.
inline constexpr int kTestCancelled = 209;

// Error scan.
inline constexpr int kStart = 111;
inline constexpr int kStage = 113;
inline constexpr int kWriteErrors = 114;
inline constexpr int kReadErrors = 115;
inline constexpr int kCheckForErrors = 116;
inline constexpr int kTimeTaken = 117;
inline constexpr int kAverageWriteSpeed = 118;
inline constexpr int kAverageReadSpeed = 119;
inline constexpr int kWriteTest = 120;
inline constexpr int kReadTest = 121;
inline constexpr int kStartErrorScanTip = 185;
inline constexpr int kPassesTip = 190;
inline constexpr int kScanWriteTestBox = 14601;
inline constexpr int kScanReadTestBox = 14602;
inline constexpr int kScanPasses = 14603;
inline constexpr int kScanWriting = 14604;
inline constexpr int kScanReading = 14605;
inline constexpr int kScanErrors = 14606;
inline constexpr int kScanSpeed = 14607;
inline constexpr int kScanPosition = 14608;

// Device list.
inline constexpr int kNoDevices = 180;

// File recovery.
inline constexpr int kReadError = 109;
inline constexpr int kFileColumn = 145;
inline constexpr int kLengthColumn = 149;
inline constexpr int kNoFilesSelected = 152;
inline constexpr int kAllSupportedFormats = 153;
inline constexpr int kSearchFilesTip = 187;
inline constexpr int kRecoverSelectedTip = 188;
inline constexpr int kChooseFormatTip = 189;
inline constexpr int kFoundFilesLabel = 40702;
inline constexpr int kFoundTotalLabel = 40703;
inline constexpr int kRecoveryReadErrorsLabel = 40704;
inline constexpr int kFormatLabel = 40705;
inline constexpr int kSignatureModeText = 40709;
inline constexpr int kDirectoryModeText = 40710;

// About dialog.
inline constexpr int kAboutTitle = 10001;
inline constexpr int kAboutVersion = 10002;
inline constexpr int kAboutLink = 10003;
inline constexpr int kAboutDescription = 10004;
inline constexpr int kAboutCopyright = 10005;
inline constexpr int kAboutOk = 10006;

// Main window.
inline constexpr int kWindowTitle = 10201;
inline constexpr int kDeviceLabel = 10202;
inline constexpr int kFormatButton = 10203;
inline constexpr int kSnapshotButton = 10204;
inline constexpr int kFileMenu = 10205;
inline constexpr int kServiceMenu = 10206;
inline constexpr int kHelpMenu = 10207;
inline constexpr int kAttachImageItem = 10208;
inline constexpr int kDetachImageItem = 10209;
inline constexpr int kImageFilter = 10210;
inline constexpr int kPermissionNote = 10211;
inline constexpr int kCannotOpenImage = 10212;
inline constexpr int kPngFilter = 10213;
inline constexpr int kSnapshotItem = 32774;
inline constexpr int kExitItem = 32775;
inline constexpr int kFormatItem = 32776;
inline constexpr int kLanguageMenu = 32777;
inline constexpr int kManualItem = 32778;
inline constexpr int kAboutItem = 32779;

// Format dialog.
inline constexpr int kFormatTitle = 10301;
inline constexpr int kFormatFileSystem = 10302;
inline constexpr int kFormatVolumeLabel = 10303;
inline constexpr int kFormatQuick = 10304;
inline constexpr int kFormatStart = 10305;
inline constexpr int kFormatClose = 10306;
inline constexpr int kFormatWarning = 10307;
inline constexpr int kFormatting = 10308;
inline constexpr int kFormatComplete = 10309;
inline constexpr int kFormatFailed = 10310;
inline constexpr int kFormatNoTool = 10311;
inline constexpr int kFormatCannotUnmount = 10312;
inline constexpr int kFormatCannotStart = 10313;
inline constexpr int kFormatDevice = 10314;
inline constexpr int kFormatToolExitCode = 10315;

// Write-warning dialog.
inline constexpr int kWarningTitle = 13401;
inline constexpr int kWarningEnableWrite = 13402;
inline constexpr int kWarningText = 13403;
inline constexpr int kWarningOk = 13404;
inline constexpr int kWarningCancel = 13405;

// Information page and the USB tree.
inline constexpr int kRootHub = 123;
inline constexpr int kPort = 124;
inline constexpr int kPorts = 126;
inline constexpr int kUsbVersion = 127;
inline constexpr int kProduct = 128;
inline constexpr int kUnknown = 129;
inline constexpr int kManufacturer = 130;
inline constexpr int kSerialNumber = 131;
inline constexpr int kVendorId = 136;
inline constexpr int kProductId = 137;
inline constexpr int kDeviceRelease = 138;
inline constexpr int kOverCurrentProtection = 139;
inline constexpr int kProtectionGlobal = 141;
inline constexpr int kProtectionIndividual = 142;
inline constexpr int kProtectionNone = 143;
inline constexpr int kRefreshInfoTip = 184;
inline constexpr int kNoData = 207;
inline constexpr int kUsbSpeed = 40400;
inline constexpr int kUsbDriver = 40401;
inline constexpr int kUsbMaxPower = 40402;
inline constexpr int kMegabitsPerSecond = 40403;
inline constexpr int kMilliamperes = 40404;
inline constexpr int kInfoFlashTitle = 40410;
inline constexpr int kInfoCapacityLabel = 40411;
inline constexpr int kInfoUsedLabel = 40412;
inline constexpr int kInfoFreeLabel = 40413;
inline constexpr int kInfoFileSystemLabel = 40414;
inline constexpr int kInfoVolumeLabel = 40415;
inline constexpr int kInfoDriveTitle = 40416;
inline constexpr int kInfoNameLabel = 40417;
inline constexpr int kInfoVersionLabel = 40418;
inline constexpr int kInfoOsTitle = 40419;
inline constexpr int kInfoUsbTitle = 40420;
inline constexpr int kInfoRefresh = 40421;
inline constexpr int kPropertyColumn = 40422;
inline constexpr int kValueColumn = 40423;
inline constexpr int kInfoOsLabel = 40424;
inline constexpr int kInfoUsbDeviceLabel = 40425;
// Low-level and file benchmarks.
inline constexpr int kBenchAverageSpeed = 103;
inline constexpr int kBenchCurrent = 104;
inline constexpr int kFileWriteError = 156;
inline constexpr int kFileReadError = 157;
inline constexpr int kReadSpeedLegend = 178;
inline constexpr int kWriteSpeedLegend = 179;
inline constexpr int kStartTestTip = 193;
inline constexpr int kMilliseconds = 233;
inline constexpr int kBenchReadSpeed = 12901;
inline constexpr int kBenchWriteSpeed = 12902;
inline constexpr int kBenchMinimumSpeed = 12903;
inline constexpr int kBenchMaximumSpeed = 12904;
inline constexpr int kBenchAccessTime = 12905;
inline constexpr int kNotMeasured = 40300;
inline constexpr int kMountTheDrive = 40301;
inline constexpr int kFailedFreeSpace = 40302;
inline constexpr int kFailedMountLookup = 40303;
inline constexpr int kFileSystemNotMounted = 40304;

// Failure records: what failed, on what.
inline constexpr int kFailedOpen = 40000;
inline constexpr int kFailedRead = 40001;
inline constexpr int kFailedWrite = 40002;
inline constexpr int kFailedMemory = 40003;
inline constexpr int kFailedCreate = 40004;
inline constexpr int kFailedFlush = 40005;

// Erase, backup and restore.
inline constexpr int kFlashErased = 154;
inline constexpr int kEraseTip = 186;
inline constexpr int kBackupTip = 191;
inline constexpr int kRestoreTip = 192;
inline constexpr int kImageFileLabel = 232;
inline constexpr int kEraseChunksFailed = 40200;
inline constexpr int kFailedImageEnd = 40205;
inline constexpr int kFailedSpace = 40208;
inline constexpr int kFailedFileSize = 40209;
inline constexpr int kFailedImageOnDrive = 40210;
inline constexpr int kFailedVerify = 40211;
inline constexpr int kFailedPlace = 40213;
inline constexpr int kVerifyAfterWriting = 40214;
inline constexpr int kVerifying = 40215;
inline constexpr int kSpaceNeeded = 40216;
inline constexpr int kFileSizeAdvice = 40217;
inline constexpr int kEraseButton = 40230;
inline constexpr int kQuickErase = 40231;
inline constexpr int kFullErase = 40232;
inline constexpr int kQuickEraseExplanation = 40233;
inline constexpr int kFullEraseExplanation = 40234;
inline constexpr int kErasePosition = 40235;
inline constexpr int kEraseWriteSpeed = 40236;
inline constexpr int kEraseElapsed = 40237;
inline constexpr int kEraseRemaining = 40238;
inline constexpr int kEraseErrors = 40239;
inline constexpr int kBackupHeading = 40250;
inline constexpr int kBackupButton = 40251;
inline constexpr int kTransferSpeed = 40252;
inline constexpr int kRestoreHeading = 40253;
inline constexpr int kRestoreButton = 40254;
inline constexpr int kCompressedBackupLabel = 40260;
inline constexpr int kCompressedImagesLabel = 40261;
inline constexpr int kAllFilesLabel = 40262;
inline constexpr int kReplaceFile = 40263;

// Images a restore refuses to read, and the state a damaged stream leaves.
inline constexpr int kFailedNotPlainFile = 41000;
inline constexpr int kFileKindDirectory = 41001;
inline constexpr int kFileKindFifo = 41002;
inline constexpr int kFileKindCharDevice = 41003;
inline constexpr int kFileKindBlockDevice = 41004;
inline constexpr int kFileKindSocket = 41005;
inline constexpr int kFailedImageEmpty = 41006;
inline constexpr int kFailedImageTail = 41007;
inline constexpr int kImageTailSizes = 41008;
inline constexpr int kFailedImageCheck = 41009;
inline constexpr int kDriveUntouched = 41010;
inline constexpr int kDriveRewrittenTo = 41011;
inline constexpr int kDriveWholeImageWritten = 41012;

// Language selection, snapshot, manual.
inline constexpr int kRestartForLanguage = 176;

// Sector viewer (dialog 145).
inline constexpr int kSectorViewer = 108;
inline constexpr int kSectorViewerItem = 40500;
inline constexpr int kSectorLabel = 40501;
inline constexpr int kReadButton = 40502;

// Test reports.
inline constexpr int kReportTitle = 40900;
inline constexpr int kReportProgram = 40901;
inline constexpr int kReportCreated = 40902;
inline constexpr int kReportDrive = 40903;
inline constexpr int kReportDevice = 40904;
inline constexpr int kReportProduct = 40905;
inline constexpr int kReportRevision = 40906;
inline constexpr int kReportCapacity = 40907;
inline constexpr int kReportUsbIds = 40908;
inline constexpr int kReportSerial = 40909;
inline constexpr int kReportUsbSpeed = 40910;
inline constexpr int kReportTest = 40911;
inline constexpr int kReportSettings = 40912;
inline constexpr int kReportResults = 40913;
inline constexpr int kReportLog = 40914;
inline constexpr int kReportOutcome = 40915;
inline constexpr int kReportCompleted = 40916;
inline constexpr int kReportStopped = 40917;
inline constexpr int kReportFailed = 40918;
inline constexpr int kReportReason = 40919;
inline constexpr int kSaveReportItem = 40920;
inline constexpr int kReportPdfFilter = 40921;
inline constexpr int kReportHtmlFilter = 40922;
inline constexpr int kReportNotSaved = 40923;
inline constexpr int kReportYes = 40924;
inline constexpr int kReportNo = 40925;
inline constexpr int kReportPictures = 40926;
inline constexpr int kReportTotals = 40928;
inline constexpr int kReportPassesDone = 40929;
inline constexpr int kReportNotFinished = 40930;
inline constexpr int kReportProgress = 40931;
inline constexpr int kReportUsbSpeedText = 40940;
inline constexpr int kReportFoundFiles = 40941;
inline constexpr int kReportFirstSector = 40942;
inline constexpr int kReportRowsCapped = 40943;
inline constexpr int kReportEraseType = 40944;
inline constexpr int kReportSectorsZeroed = 40945;
inline constexpr int kReportImageFile = 40946;
inline constexpr int kReportCompression = 40947;
inline constexpr int kReportChecksum = 40948;
inline constexpr int kReportSectorsTransferred = 40949;
inline constexpr int kReportRecoveryMode = 40950;
inline constexpr int kReportFileSize = 40951;
inline constexpr int kReportCompressionNone = 40952;
inline constexpr int kReportSpeedChart = 40953;
inline constexpr int kReportFileSpeedChart = 40954;

// Files the tool writes: backups, checksums, reports, snapshots, recovered files.
inline constexpr int kRefusedTarget = 41200;
inline constexpr int kTargetDeviceNode = 41201;
inline constexpr int kTargetFolder = 41202;
inline constexpr int kTargetPipe = 41203;
inline constexpr int kTargetSocket = 41204;
inline constexpr int kTargetSymlink = 41205;
inline constexpr int kTargetExists = 41206;
inline constexpr int kOutputOnDrive = 41207;
inline constexpr int kOutputOverRunFile = 41208;
inline constexpr int kFolderNotWritable = 41209;
inline constexpr int kNotAFolder = 41210;
inline constexpr int kPartialKept = 41211;
inline constexpr int kPartialNotKept = 41212;
inline constexpr int kReportPartialImage = 41213;
inline constexpr int kOldFileStays = 41214;

// What a stopped run left; host files that failed.
inline constexpr int kStopDriveUnchanged = 41070;
inline constexpr int kStopNothingWritten = 41071;
inline constexpr int kStopEraseState = 41072;
inline constexpr int kStopRestoreState = 41073;
inline constexpr int kStopRestoreVerifying = 41074;
inline constexpr int kStopScanWriting = 41075;
inline constexpr int kStopScanReading = 41076;
inline constexpr int kStopProbeRestored = 41077;
inline constexpr int kStopProbeUnrestored = 41078;
inline constexpr int kStopProbeDestructive = 41079;
inline constexpr int kStopRecoverySaved = 41080;
inline constexpr int kStopBenchWritten = 41081;
inline constexpr int kStopTestFileRemoved = 41082;
inline constexpr int kFailedHostWrite = 41083;
inline constexpr int kFileSizeLimit = 41084;
inline constexpr int kHostNotMedium = 41086;
inline constexpr int kStopScanZeroedOnly = 41087;
inline constexpr int kStopScanStartZeroed = 41088;

// One run on a drive at a time.
inline constexpr int kDriveBusy = 41040;
inline constexpr int kDriveMounted = 41041;
inline constexpr int kDriveHeldBySystem = 41042;

}  // namespace qv::str
