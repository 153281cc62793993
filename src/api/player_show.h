// What the show player page needs from a show description: `tavirelle play`
// reads meta.xml into a PlayerShow, gathers the files it names into the
// player folder, marks the ones it could not get, and writes the page (its
// own, with PlayerDataJson inside) as the folder's index.html.
//
// File names are kept in the process code page, as the platform layer takes
// them; texts for the page are UTF-8. Names in the player folder ("local"
// names) are relative, '/'-separated and never reach outside the folder.
#ifndef TAVIRELLE_API_PLAYER_SHOW_H_
#define TAVIRELLE_API_PLAYER_SHOW_H_

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace tavirelle {

// Thumbnails sit beside the show's files under kThumbnailPrefix, as in a show
// folder; in a package they are stored under "w133\h100\".
inline constexpr char kPackageThumbnailFolder[] = "w133\\h100\\";

struct PlayerClip {
  std::string stored;   // the "file" attribute as the description has it
  std::string local;    // its name in the player folder; empty when unusable
  bool picture = false; // a JPEG, PNG or GIF the browser draws itself
  std::string shown;    // the local file drawn; empty: a placeholder frame
  double x = 0.5, y = 0.5, scale = 1.0;
};

// The music a show names when it keeps its style's default: the
// application's own, which a show does not carry.
inline constexpr char kDefaultMusicFile[] = "default_music.mp3";

struct PlayerMusic {
  std::string stored, local;
  int volume = 100;     // percent
  bool missing = false;
  bool application = false;  // the application's default music (kDefaultMusicFile)
  bool supplied = false;     // `local` is a default music given to the player, not the show's
};

struct PlayerSlide {
  std::string stored;   // the image's online file name
  std::string local;
  bool video = false;   // an item the browser cannot show as a picture
  std::string shown;    // the photo, or a video's still or thumbnail; empty: a neutral frame
  std::string thumbnail;
  // The EXIF orientation (1 to 8, 0 for none) of the shown file and of the
  // thumbnail, which browsers apply to a picture before the page turns it.
  int shown_orientation = 0, thumbnail_orientation = 0;
  bool missing = false; // the photo itself could not be had
  int rotation = 0;     // 0, 90, 180 or 270 degrees clockwise
  double duration = 5;  // seconds
  bool crossfade = false;
  std::string caption;  // UTF-8
  int width = 800, height = 600;  // the playback frame clip positions refer to
  std::optional<PlayerMusic> music;
  std::vector<PlayerClip> clips;
};

struct PlayerShow {
  std::string title, created_by, starring;  // UTF-8, decoded
  std::vector<PlayerSlide> slides;
};

// Reads a show description (the bytes of meta.xml). False when the text does
// not load or has no "qx" element.
bool ReadPlayerShow(const std::string& meta_text, PlayerShow* show);

// The name a file named `stored` by the description gets in the player
// folder: relative, '/'-separated; a name that would reach outside the folder
// keeps only its file name. Empty when nothing usable is left.
std::string PlayerLocalName(const std::string& stored);

// A file the page may use, where the command finds it in a show folder and
// in a package.
struct PlayerSourceFile {
  std::string local;
  std::string in_folder;   // relative to the show folder
  std::string in_package;  // the package entry name
};
// Every file the page may use, without duplicates, in show order.
std::vector<PlayerSourceFile> PlayerSourceFiles(const PlayerShow& show);

// Plays the file `local` of the player folder wherever the show names the
// application's default music.
void UseDefaultMusic(PlayerShow* show, const std::string& local);

// Decides what each slide, clip and music shows from the files present in the
// player folder (`present` answers for a local name).
void ResolvePlayerFiles(PlayerShow* show,
                        const std::function<bool(const std::string& local)>& present);

// The show as the JSON the page reads, safe to stand inside a <script>
// element: "<", ">" and "&" are written as \u escapes.
std::string PlayerDataJson(const PlayerShow& show);

// The EXIF orientation (1 to 8) of the picture at `path`, 0 for none: what a
// browser applies to it before the page turns it.
int ReadPictureOrientation(FileSystem& fs, const std::string& path);

}  // namespace tavirelle

#endif  // TAVIRELLE_API_PLAYER_SHOW_H_
