#include "console/banners.h"

#include <cstddef>

#include "platform/platform.h"
#include "state/state.h"

namespace {

template <size_t N> void PrintAll(const char *const (&lines)[N]) {
  for (const char *line : lines)
    Print("%s", line);
}

// clang-format off
// The texts stand one string to a line, as they are printed, so that the
// banners drawn in letters read as pictures here too.
const char *const StartBanner[] = {
    "/////////////////////////////////////////////////////////////\n",
    "//                                                         //\n",
    "//           O    R    V    A    N    T    I    S          //\n",
    "//        ------------------------------------------       //\n",
    "//         for  the  simple  but  sensible  reality        //\n",
    "//                                                         //\n",
    "//                                                         //\n",
    "/////////////////////////////////////////////////////////////\n\n",
};

const char *const FfmpegNotice[] = {
    "\nエラー!! ファイル[ ffmpeg.exe ]が見つかりません。\n\n",
    "         お手数をお掛けしますが、アプリケーション[ ffmpeg ]をご自身でダウンロード\n",
    "         して、指定の場所にファイル[ ffmpeg.exe ]をコピーしてください。\n",
    "         詳細は、ファイル[ README.txt ]をご一読ください。\n",
    "         ご協力ありがとうございます。\n\n\n",
    "ERROR!!: Cannot find a file ->[ ffmpeg.exe ]\n\n",
    "         You need to download and install ffmpeg application by yourself\n",
    "         and copy [ffmpeg.exe] to the specified folder in advance.\n",
    "         Please refer to the file[ README.txt ] for details.\n",
    "         Thank you for your cooperation.\n",
};

const char *const FfmpegInstallNotes[] = {
    "\n-------------------------------------------------------------------------------------\n",
    "（参考）FFmpeg のインストールとアンインストールの方法\n",
    "-------------------------------------------------------------------------------------\n",
    "\n",
    "【手順１】ブラウザで FFmpeg の公式サイト（https://ffmpeg.org/）を開き、緑色の[Download]\n",
    "          をクリックする。\n",
    "\n",
    "【手順２】[Get packages & executable files] の項目内の Windows向けのアイコン\n",
    "         （水色）を選択する。\n",
    "\n",
    "【手順３】[Windows EXE Files] の項目内の [Windows builds from gyan.dev] をクリック\n",
    "         する。\n",
    "\n",
    "【手順４】お好みの[Auto-Build 20XX-XX-XX] を選択するとその内容が表示される。\n",
    "\n",
    "【手順５】例えば、[ffmpeg-N-120443-g2e19e74a29-win64-gpl.zip] をクリックして\n",
    "          ダウンロードする。\n",
    "\n",
    "【手順６】zipファイルをデスクトップ上などに解凍すると、その中にフォルダ[bin]\n",
    "          ができているので、そこに入る。\n",
    "\n",
    "【手順７】フォルダ[bin] の中にファイル[ffmpeg.exe]があるので、それをフォルダ\n",
    "         “ORVANTIS_120”内にあるフォルダ“ApplicationData”の中\n",
    "          にコピーする。\n",
    "\n",
    "以上でファイル[ffmpeg.exe] のインストールは完了です。\n",
    "\n",
    "なお、アプリケーション[FFmpeg]をアンインストール（削除）したい場合、解凍した\n",
    "フォルダを直接削除してください（インストーラはありません）。\n",
    "\n",
    "以上\n",
};

// The image library's 3-clause BSD licence, in the library's own words.
const char *const Licence[] = {
    "\n",
    " ------------------------------------------------------------------------------\n",
    "                                  License \n",
    " ------------------------------------------------------------------------------\n",
    " IMPORTANT: READ BEFORE DOWNLOADING, COPYING, INSTALLING OR USING.\n",
    " \n",
    " By downloading, copying, installing or using the software you agree to this license.\n",
    " If you do not agree to this license, do not download, install,\n",
    " copy or use the software.\n",
    " \n",
    " \n",
    "                           License Agreement\n",
    "                For Open Source Computer Vision Library\n",
    " \n",
    " Copyright (C) 2000-2015, Intel Corporation, all rights reserved.\n",
    " Copyright (C) 2009-2011, Willow Garage Inc., all rights reserved.\n",
    " Copyright (C) 2015, OpenCV Foundation, all rights reserved.\n",
    " Copyright (C) 2015, Itseez Inc., all rights reserved.\n",
    " Third party copyrights are property of their respective owners.\n",
    " \n",
    " Redistribution and use in source and binary forms, with or without modification,\n",
    " are permitted provided that the following conditions are met:\n",
    " \n",
    "   * Redistribution's of source code must retain the above copyright notice,\n",
    "     this list of conditions and the following disclaimer.\n",
    " \n",
    "   * Redistribution's in binary form must reproduce the above copyright notice,\n",
    "     this list of conditions and the following disclaimer in the documentation\n",
    "     and/or other materials provided with the distribution.\n",
    " \n",
    "   * The name of the copyright holders may not be used to endorse or promote products\n",
    "     derived from this software without specific prior written permission.\n",
    " \n",
    " This software is provided by the copyright holders and contributors \"as is\" and\n",
    " any express or implied warranties, including, but not limited to, the implied\n",
    " warranties of merchantability and fitness for a particular purpose are disclaimed.\n",
    " In no event shall the Intel Corporation or contributors be liable for any direct,\n",
    " indirect, incidental, special, exemplary, or consequential damages\n",
    " (including, but not limited to, procurement of substitute goods or services;\n",
    " loss of use, data, or profits; or business interruption) however caused\n",
    " and on any theory of liability, whether in contract, strict liability,\n",
    " or tort (including negligence or otherwise) arising in any way out of\n",
    " the use of this software, even if advised of the possibility of such damage.\n",
    " --------------------------------------------------------------------------------\n",
    "\n",
};

const char *const KeyList[] = {
    "\n --------------------------------------------------------------------------------\n",
    "\n                   [ ORVANTIS  Ver.1.2  機能一覧 ]\n",
    "\n",
    " --------------------------------------------------------------------------------\n",
    "     ＜画像表示ウィンドウをアクティブにした後、以下のキーを入力してください＞\n",
    "\n",
    "     [ESC]　   アプリケーションの一時停止（待機状態になります）。\n",
    "               さらに [Enter] で復帰し、[ESC] を押すと実行を終了します。\n",
    "\n",
    "     [ q ]　   Webカメラをオンオフできます。\n",
    "\n",
    "     [ z, x ]  通常速度（±１フレーム）で表示画像を進めたり戻したりできます。\n",
    "     [ Z, X ]  高    速（±10フレーム）で表示画像を進めたり戻したりできます。\n",
    "\n",
    "     [ j ]     ランダムに表示画像を選択できます。\n",
    "     [ l ]     フォルダ内の先頭の画像に戻ることができます。\n",
    "     [ e ]     左右反転の表示モードを切替えます。\n",
    "\n",
    "     [ s, S ]　再生速度を調整できます（５段階）。\n",
    "\n",
    "     [ i ]     動き変化量の画面表示をオンオフします。\n",
    "     [ v, V ]  動きしきい値を増減させることができます。\n",
    "\n",
    "     [TAB]     自動再生機能（ベストエフォート 30[fps]）をオンオフできます。\n",
    "               [z],[x]キーで再生方向を変更できます。\n",
    "\n",
    "     [BS]      画像表示ウィンドウの再設定を行います（画像サイズに合わせます）。\n",
    "\n",
    "     [ p ]     １つ前のコンテンツフォルダに移動します。\n",
    "     [ n ]     １つ後のコンテンツフォルダに移動します。\n",
    "\n",
    "     [ R ]     先頭のコンテンツフォルダである S001 へ復帰します。\n",
    "     [ r ]     現在のコンテンツフォルダにある画像ファイルを再度読込みます（更新）。\n",
    "\n",
    "     [SPACE]   ランダムにコンテンツフォルダを選択できます。\n",
    "\n",
    "     [1,2,3,4,5,6,7,8,9,0]  S001～S010 のコンテンツフォルダに直接移動できます。\n",
    "     [SHIFT+1,2,3,4,5,6,7,8,9]  10％～90％の再生位置にジャンプします。\n",
    "\n",
    "     [ENTER]   ORVANTIS  Ver.1.2  の機能一覧等を再表示します。\n",
    " --------------------------------------------------------------------------------\n",
    "\n",
};

const char *const CameraOnBanner[] = {
    "  OOO    OOO   O     O  OOOO  OOOO    OOO            OOOOO    O     O   \n",
    " O   O  O   O  OO   OO  O     O   O  O   O    OO    O     O   OO    O   \n",
    " O      OOOOO  O O O O  OOOO  OOOO   OOOOO          O     O   O  O  O   \n",
    " O   O  O   O  O  O  O  O     O  O   O   O    OO    O     O   O    OO   \n",
    "  OOO   O   O  O     O  OOOO  O   O  O   O           OOOOO    O     O   \n",
    "\n",
};

const char *const CameraOffBanner[] = {
    "  OOO    OOO   O     O  OOOO  OOOO    OOO            OOOO    OOOOO  OOOOO \n",
    " O   O  O   O  OO   OO  O     O   O  O   O    OO    O    O   O      O     \n",
    " O      OOOOO  O O O O  OOOO  OOOO   OOOOO          O    O   OOOO   OOOO  \n",
    " O   O  O   O  O  O  O  O     O  O   O   O    OO    O    O   O      O     \n",
    "  OOO   O   O  O     O  OOOO  O   O  O   O           OOOO    O      O     \n",
    "\n",
};

const char *const PauseBanner[] = {
    "\n\n OOOO    OOO   O   O   OOOO  OOOOO  O \n",
    " O   O  O   O  O   O  O      O      O \n",
    " OOOO   OOOOO  O   O   OOO   OOOO   O \n",
    " O      O   O  O   O      O  O        \n",
    " O      O   O   OOO   OOOO   OOOOO  O \n\n",
};

const char *const GoBanner[] = {
    "\n  OOO            O \n",
    " O       OOOO    O \n",
    " O OOOO O    O   O \n",
    " O   O  O    O     \n",
    "  OOO    OOOO    O \n\n",
};

// "See You!" in the letter O, seven lines, two line ends before, one empty line after.
const char *const SeeYouBanner[] = {
    "\n\n  OOOO                  O     O                   O \n",
    " O                       O   O                    O \n",
    " O       OOO    OOO       O O    OOO   O    O     O \n",
    "  OOOO  O   O  O   O       O    O   O  O    O     O \n",
    "      O OOOOO  OOOOO       O    O   O  O    O     O \n",
    "      O O      O           O    O   O  O   OO       \n",
    " OOOOO   OOO    OOO        O     OOO    OOO O     O \n\n",
};
// clang-format on

} // namespace

void PrintStartBanner() { PrintAll(StartBanner); }

void PrintFfmpegHelp() {
  PrintAll(FfmpegNotice);
  PrintAll(FfmpegInstallNotes);
}

void PrintCameraBanner() {
  if (Z.CameraFlag == 1)
    PrintAll(CameraOnBanner);
  else if (Z.CameraFlag == 0)
    PrintAll(CameraOffBanner);
}

void ShowHelp() {
  PrintAll(Licence);
  PrintAll(KeyList);
  PrintCameraBanner();
}

void PrintPauseBanner() { PrintAll(PauseBanner); }
void PrintGoBanner() { PrintAll(GoBanner); }
void PrintSeeYouBanner() { PrintAll(SeeYouBanner); }
