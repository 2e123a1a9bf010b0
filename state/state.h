// The one process-wide state record, grouped by owner, start values on each
// field's line. It lives in static storage (its large tables are zero pages
// until touched); image and camera handles are opaque.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// --- Sizes ---
constexpr int MAX_ARGS = 22000;         // entries of the argument table
constexpr int ARG_LEN = 5000;           // bytes per argument, terminator included
constexpr int MAX_FRAMES = 22000;       // records of the frame table
constexpr int MAX_FRAME_NUMBER = 25000; // highest frame file number the scan tries
constexpr int SCAN_GAP_LIMIT = 22000;   // the scan stops after more misses in a row
constexpr int SCAN_PROGRESS_EVERY = 200;
constexpr int PATH_FIELD = 250; // path / http / file fields of a frame record
constexpr int KEYFRAME_NUM = 1280;
constexpr int PIVOT_NUM = 23000;
constexpr int CONTENTS_LIST_MAX = 10000;
constexpr int CONTENTS_INDEX_MAX = 9999;
constexpr int ZEP_F_XMAX = 320; // the only accepted camera frame size
constexpr int ZEP_F_YMAX = 240;
constexpr int GRAY_SIZE = ZEP_F_XMAX * ZEP_F_YMAX;
constexpr int CAM_ON_MEMORY_MAX = 5400;
constexpr int SHARED_SIZE = 1024;
constexpr int SHARED_SLOTS = 32;
constexpr int GESTURE_NUM = 8;
constexpr int MODE_NUM = 32;
constexpr int SAMPLE_NUM = 200;
constexpr int KB_RECORD_MAX = MODE_NUM * GESTURE_NUM * SAMPLE_NUM; // 51,200

constexpr const char *MAIN_WINDOW = "ORVANTIS  Ver.1.2";
constexpr const char *THRESHOLD_FILE = "ZEP_THRESHOLD.dat";
constexpr const char *KEY_SCREEN_FILE = "keyallocation_01.jpg";

// --- Opaque handles (defined where OpenCV is allowed) ---
// How the player ends: still running, the user's own ending from the pause
// (exit status 0), or an error ending after its message (exit status 1).
enum PlayerEndings { PLAYER_RUNNING = 0, PLAYER_QUIT = 1, PLAYER_FAILED = 2 };

// LastShownFrame when no frame is on show: the next pass shows the current
// frame whatever its number.
constexpr double NO_FRAME_SHOWN = -1.0;

struct ZepImage;   // one decoded colour or grey image
struct ZepCapture; // one open camera source

// --- On-disk and shared layouts (little-endian) ---

// One frame of the frame table; also the record of a frame-table file.
struct FrameRecord {
  int32_t loaded;        // 1 while the image is held in FrameCache
  char path[PATH_FIELD]; // the frame's JPEG file
  char http[PATH_FIELD]; // text attached to the frame
  char file[PATH_FIELD]; // second image attached to the frame
  char padding[2];
};
static_assert(sizeof(FrameRecord) == 756, "frame record is 756 bytes on disk");
static_assert(offsetof(FrameRecord, path) == 4, "frame record layout");
static_assert(offsetof(FrameRecord, http) == 254, "frame record layout");
static_assert(offsetof(FrameRecord, file) == 504, "frame record layout");
constexpr size_t FRAME_TABLE_BYTES = sizeof(FrameRecord) * MAX_FRAMES; // 16,632,000

// The record every running copy shares through the named section.
struct SharedInfo {
  int32_t DiffSum;                  // sum of the slots, as last computed by a copy with a camera
  int32_t WebCamDiff[SHARED_SLOTS]; // last DifferenceSum published per CamChan
  uint8_t reserved[892];            // never written by us, always carried along
};
static_assert(sizeof(SharedInfo) == SHARED_SIZE, "shared record is 1024 bytes");
static_assert(offsetof(SharedInfo, reserved) == 132, "shared record layout");

// The 32-bit total of the slots, as DiffSum holds it: other processes may
// have written anything, so the sum wraps instead of overflowing.
inline int32_t PooledTotal(const SharedInfo &info) {
  uint32_t total = 0;
  for (int32_t slot : info.WebCamDiff)
    total += static_cast<uint32_t>(slot);
  return static_cast<int32_t>(total);
}

struct GestureEntry {
  char name[20];
  int32_t number;
  int32_t length; // frames of the learned motion
};
static_assert(sizeof(GestureEntry) == 28, "gesture entry is 28 bytes on disk");

struct LearnEntry {
  int32_t valid;
  int32_t padding;
  double score;
  double match;
};
static_assert(sizeof(LearnEntry) == 24, "learning entry is 24 bytes on disk");

struct KBRecord {
  int32_t mode;
  int32_t gesture;
  int32_t sample;
  int32_t reserved;
  double Re[64]; // radial profile
  double Ps[64]; // its magnitude spectrum
};
static_assert(sizeof(KBRecord) == 1040, "sample record is 1040 bytes on disk");
static_assert(offsetof(KBRecord, Re) == 16, "sample record layout");

struct ReviewSums {
  double best, spread, ambiguity;
};
struct ReviewCounts {
  int32_t best, spread, ambiguity;
};
static_assert(sizeof(ReviewSums) == 24 && sizeof(ReviewCounts) == 12, "review layouts");

// A small table with every entry set to one start value.
template <typename T, size_t N> constexpr std::array<T, N> FilledArray(T value) {
  std::array<T, N> a{};
  for (size_t i = 0; i < N; ++i)
    a[i] = value;
  return a;
}

struct ZepState {
  // --- Arguments and start-up objects (app/) ---
  char ArgName[MAX_ARGS][ARG_LEN]; // entry 0 the program path, then the given files
  int ArgCount = 0;                // entries in use, entry 0 included
  ZepImage *KeyScreen = nullptr;   // key-allocation screen shown while paused
  char FfmpegPath[4096];           // the ffmpeg the import runs

  // --- Clock (common/) ---
  double MarkTime = 0.0; // seconds since 1970 at the last mark()

  // --- Contents and frame table (contents/) ---
  int ContentsIndex = 0;             // 0-based current folder: S001 is 0
  int MaxCount = 0;                  // frames in the current folder
  double frame_no = 0.0;             // current frame; its integer part indexes the table
  FrameRecord FrameData[MAX_FRAMES]; // the frame table

  // --- Player (player/; the folder settings load several of these) ---
  ZepImage *FrameCache[MAX_FRAMES];       // decoded frames, parallel to FrameData
  ZepImage *AttachImage = nullptr;        // image attached to the shown frame (file field)
  double LastShownFrame = NO_FRAME_SHOWN; // frame last presented
  int REPLAY_SPEED = 3;                   // speed step 1..5
  double SpeedFactor = 1.0;               // derived from REPLAY_SPEED every pass
  double VR_step = 1.0;                   // motion step, SpeedFactor every pass
  int AutoReplayFlag = 0;                 // 1: automatic replay (TAB)
  int PlayDirection = 1;                  // 1 forward, 0 backward
  int WrapFlag = 0;                       // non-zero: wrap at the ends
  int PrevDirection = -1;                 // direction last noted by the motion step
  int MotionCount = 0;                    // motion passes since the last reset
  double f_rate = 0.0;                    // measured passes per second
  int VR_threshold = 9600;                // motion threshold of the step
  int ZEP_threshold = 11500;              // shared threshold from ZEP_THRESHOLD.dat
  int DISP_WEB_CAM_INFO = 0;              // 0 quiet, 1 status line, 2 pooled line, -1 once
  int flip_mode = 0;                      // 0 normal, 1 left-right, 2 top-bottom
  int TurnCount = 5;                      // motion passes before stillness reverses
  int RestCount = 2;                      // motion passes after which stillness resets the count
  int UnchangedPasses = 0;                // passes in a row without a frame change
  int HeldKey = -1;                       // a key that came while the window only drew
  int ShownWidth = 0;                     // the main window's picture the cached frames
  int ShownHeight = 0;                    //   are decoded for; 0 x 0: whole
  int StartFrameNum = 0;                  // replay period, printed only
  int EndFrameNum = 0;
  int PlayerEnding = 0;       // PLAYER_RUNNING, PLAYER_QUIT or PLAYER_FAILED
  int VARIABLE_SIZE_FLAG = 0; // non-zero: the main window follows the image size

  // --- Folder settings and key frames (contents/) ---
  double KeyFrameNumber[KEYFRAME_NUM]; // key-frame table
  int KeyFrameIndex = 0;               // 0..1279
  int32_t PivotHistory[PIVOT_NUM];     // raw block of the key-frame file
  int PivotSpare = 0;
  int MouseReverseFlag = 0;
  int MouseVertFlag = 0;
  int KeyFrameMode = 0;
  int SteerCounter = 0;
  int SteerLimit = 108000;
  int SteerType = 0;

  // --- Contents listing (contents/) ---
  int32_t ContentsList[CONTENTS_LIST_MAX]; // folder indices found, ascending
  int ContentsListCount = 0;
  int ContentsListReady = 0; // 1: reuse the list without listing again

  // --- Camera (motion/) ---
  int CameraFlag = 0;               // 1 while switched on
  ZepCapture *CamCapture = nullptr; // open camera, null when closed
  ZepImage *CamFrame = nullptr;     // latest grabbed frame
  ZepImage *CamGray = nullptr;      // grey image of the first accepted frame's size
  uint8_t GrayFrame[2][GRAY_SIZE];  // two 320 x 240 grey frames
  int GrayIndex = 0;                // slot that receives the next frame
  int CamFlipV = 0;                 // non-zero: upside down
  int CamFlipH = 0;                 // non-zero: mirrored
  int CamChan = 0;                  // camera index and shared slot
  int CamOnMemory = 1;              // capacity of the frame cache, 1..5400
  int CamBeep = 0;                  // 1: bell after a knowledge base is loaded
  int CamLogMode = 2;               // 1: log camera frames

  // --- Motion difference and shared pool (motion/) ---
  int DifferenceSum = 0;            // motion measure of the pass
  int DiffStep = 4;                 // subsampling step, at least 1
  SharedInfo SI;                    // private image of the shared record
  int SharedHandle = -1;            // descriptor of the named section
  SharedInfo *SharedView = nullptr; // the mapped 1024 bytes

  // --- Gesture knowledge base (gesture/) ---
  // The recogniser's parameters, file 1 in file order: the loader prints the
  // first fifteen and the player acts on none of them.
  int DThreshold = 40;          // 1st value of file 1
  int OK_HIGH = 500;            // 2nd
  double OCThreshold = -1.0;    // 3rd
  int MThreshold = 40;          // 4th
  int pos_num = 0;              // 5th
  int GRATE = 60;               // 6th
  double GRATE_SUM = 0.0;       // 7th
  int GRATE_COUNT = 0;          // 8th
  int NEROI = 32;               // 9th; InitKnowledgeBase sets it again
  double SKIP = 1.0;            // 10th; InitKnowledgeBase sets it again
  double GRATE_SUM2 = 0.0;      // 11th
  double RSKIP = 1.0;           // 12th; InitKnowledgeBase sets it again
  int GRATE_COUNT2 = 0;         // 13th
  double RF_COEFFICIENT = 0.01; // 14th
  int IdealGRATE = 0;           // 15th, the last one printed
  int SIMILAR_LEFT = 0;         // 16th; loaded and kept, the player does not act on it
  double MAP_BIAS = 0.1;        // 17th
  int HOLD_COUNT = 8;           // 18th
  double SPARE_PARAM = 8.0;     // 19th
  int READY_COUNT = 5;          // 20th
  int FIXED_MODES = 0;          // 21st, the last

  // The learned gestures: tables (file 2), calibration (file 3), samples (file 4).
  GestureEntry GestureTable[GESTURE_NUM];                          // names A..H until a file 2 is loaded
  int32_t KBFlag[MODE_NUM][GESTURE_NUM][SAMPLE_NUM];               // 1: record present
  KBRecord *KBData[MODE_NUM][GESTURE_NUM][SAMPLE_NUM];             // owned records
  std::array<std::array<int32_t, GESTURE_NUM>, MODE_NUM> KBCount = // [mode][gesture] slots in use, -1: none
      FilledArray<std::array<int32_t, GESTURE_NUM>, MODE_NUM>(FilledArray<int32_t, GESTURE_NUM>(-1));
  // Per mode, 1 where it takes part: ModeEnable (file 2), ModeCandidate (file 3).
  std::array<int32_t, MODE_NUM> ModeEnable = FilledArray<int32_t, MODE_NUM>(1);
  std::array<int32_t, MODE_NUM> ModeCandidate = FilledArray<int32_t, MODE_NUM>(1);
  // Calibration per gesture (file 3), in file order; ReservedValue is only kept.

  std::array<double, GESTURE_NUM> RecogThreshold = FilledArray<double, GESTURE_NUM>(1.0e10);
  std::array<double, GESTURE_NUM> ReservedValue = FilledArray<double, GESTURE_NUM>(-1.0);
  std::array<double, GESTURE_NUM> SpreadLimit = FilledArray<double, GESTURE_NUM>(2000000.0);
  std::array<double, GESTURE_NUM> AmbiguityLimit = FilledArray<double, GESTURE_NUM>(0.999999);
  double ModeContribution[GESTURE_NUM][MODE_NUM];
  ReviewSums ReviewSum[GESTURE_NUM];
  ReviewCounts ReviewCount[GESTURE_NUM];
  int32_t LearnFrameCount[GESTURE_NUM];
  // Scores of the learning run (file 2), [learned gesture][compared gesture][mode][frame].
  LearnEntry LearnHistory[GESTURE_NUM][GESTURE_NUM][MODE_NUM][SAMPLE_NUM];
};

extern ZepState Z;
