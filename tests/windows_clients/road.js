// The whole road of the automation classes from JScript, late bound through
// their type information, with the members VBScript cannot name (those that
// begin with an underscore): create the four classes by ProgID, set and read
// every property, author a show with clip-art, pack it, open the package in
// a new object, extract it and ask it questions, and check what comes back.
//
//   cscript //nologo road.js SCRATCH PHOTO1 PHOTO2 PHOTO3 CLIPART
//
// PHOTO1 is a camera photo 640x480 taken 2026:06:22 10:15:00, PHOTO2 one of
// 800x450 without a date, PHOTO3 a bitmap of 200x150. Prints one line per
// failed check and, when the script ran to its end, a last line with the
// count; an error it did not expect is printed with its HRESULT and ends it
// without that line.
var E_FAIL = 0x80004005;
var checks = 0, failures = 0;

function check(what, got, want) {
  ++checks;
  if (got !== want) {
    ++failures;
    WScript.Echo("FAIL: " + what + ": got [" + got + "], want [" + want + "]");
  }
}

// The HRESULT a call ends with, unsigned (0 when it succeeds).
function failureOf(call) {
  try {
    call();
    return 0;
  } catch (e) {
    return e.number >>> 0;
  }
}

function hex(n) { return "0x" + (n >>> 0).toString(16).toUpperCase(); }

function run(args) {
  var scratch = args(0) + "\\";
  var fso = new ActiveXObject("Scripting.FileSystemObject");

  // --- The show and its properties -------------------------------------------
  var show = new ActiveXObject("TavirelleHelper.QXHelper");
  check("MUSIC_DEFAULT", show.MUSIC_DEFAULT, "default_music");
  check("MUSIC_NONE", show.MUSIC_NONE, "none_music");
  check("a new show's photo count", show.PhotoCount, 0);
  show.Title = "Summer by the sea";
  show.CreatBy = "Ann";
  show.Starring = "Bo & Cy";
  show.StyleId = "classic";
  show.MusicPath = show.MUSIC_DEFAULT;
  show.OutputPath = scratch + "show\\";
  check("Title", show.Title, "Summer by the sea");
  check("CreatBy", show.CreatBy, "Ann");
  check("Starring", show.Starring, "Bo & Cy");
  check("StyleId", show.StyleId, "classic");
  check("MusicPath", show.MusicPath, "default_music");
  check("OutputPath", show.OutputPath, scratch + "show\\");
  // A read-only property refuses a value.
  check("MUSIC_NONE is read-only", failureOf(function () { show.MUSIC_NONE = "x"; }) !== 0, true);

  // --- Photos, every property of a description ----------------------------------
  var photos = [];
  for (var i = 0; i < 3; ++i) {
    var photo = new ActiveXObject("TavirelleHelper.PhotoDesc");
    photo.Path = args(i + 1);
    photos.push(photo);
  }
  var spare = new ActiveXObject("TavirelleHelper.PhotoDesc");
  spare._OriginalName = "o.jpg";
  spare._OnlineName = "n.jpg";
  spare._Width = 12;
  spare._Height = 34;
  spare._PhotoDateTaken = "2001:02:03 04:05:06";
  spare._DisplayDate = "spring";
  spare._IsVideo = 1;
  spare.Orientation = 3;  // sets _Changed, so it comes before clearing that
  spare._Changed = 0;
  check("_OriginalName", spare._OriginalName, "o.jpg");
  check("_OnlineName", spare._OnlineName, "n.jpg");
  check("_Width", spare._Width, 12);
  check("_Height", spare._Height, 34);
  check("_PhotoDateTaken", spare._PhotoDateTaken, "2001:02:03 04:05:06");
  check("_DisplayDate", spare._DisplayDate, "spring");
  check("_IsVideo", spare._IsVideo, 1);
  check("_Changed", spare._Changed, 0);
  check("Orientation", spare.Orientation, 3);

  var clip = new ActiveXObject("TavirelleHelper.Clip");
  clip.Path = args(4);
  clip.xPos = 0.25;
  clip.yPos = 0.5;
  clip.scale = 1.5;
  check("Clip.Path", clip.Path, args(4));
  check("Clip.xPos", clip.xPos, 0.25);
  check("Clip.yPos", clip.yPos, 0.5);
  check("Clip.scale", clip.scale, 1.5);
  photos[0].AddClip(clip);
  check("ClipCount", photos[0].ClipCount, 1);
  check("GetClip(0).scale", photos[0].GetClip(0).scale, 1.5);
  check("GetClip out of range", failureOf(function () { photos[0].GetClip(1); }), E_FAIL);

  // --- Importing ---------------------------------------------------------------
  for (var i = 0; i < 3; ++i) show.AddPhoto(photos[i]);
  check("PhotoCount", show.PhotoCount, 3);
  var first = show.GetPhoto(0);
  check("the import's size: width", first._Width, 640);
  check("the import's size: height", first._Height, 480);
  check("the capture date", first._PhotoDateTaken, "2026:06:22 10:15:00");
  check("the original name", first._OriginalName, fso.GetFileName(args(1)));
  check("the online name is a GUID name",
        /^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\.jpg$/.test(first._OnlineName),
        true);
  check("the copy is in the show folder", fso.FileExists(scratch + "show\\" + first._OnlineName), true);
  check("its thumbnail beside it",
        fso.FileExists(scratch + "show\\__w133_h100_" + first._OnlineName), true);
  check("a photo without a date gets one", show.GetPhoto(1)._PhotoDateTaken !== "", true);
  check("a bitmap is imported: width", show.GetPhoto(2)._Width, 200);
  check("a bitmap gets a .jpg name", /\.jpg$/.test(show.GetPhoto(2)._OnlineName), true);

  // The last photo moves to the front; the middle one goes, with its files.
  var removed = show.GetPhoto(1)._OnlineName;
  show.MovePhoto(2, 0);
  check("after MovePhoto, photo 0", show.GetPhoto(0).Path, args(3));
  check("after MovePhoto, photo 1", show.GetPhoto(1).Path, args(1));
  check("after MovePhoto, photo 2", show.GetPhoto(2).Path, args(2));
  show.RemovePhoto(2);
  check("PhotoCount after RemovePhoto", show.PhotoCount, 2);
  check("the removed photo's copy is gone", fso.FileExists(scratch + "show\\" + removed), false);
  check("MovePhoto out of range", failureOf(function () { show.MovePhoto(0, 2); }), E_FAIL);

  show.GenerateMetaXML();
  var authored = scratch + "show\\meta.xml";
  check("meta.xml written", fso.FileExists(authored), true);

  // --- Packing, opening, extracting, questions -----------------------------------
  var io = new ActiveXObject("TavirelleHelper.QXFileIO");
  var written = io.WriteDotTavirelle(scratch + "Summer.pkg", scratch + "show\\");
  check("WriteDotTavirelle's name", written, scratch + "Summer.pkg");
  check("packing an empty name", failureOf(function () { io.WriteDotTavirelle("", scratch); }) !== 0,
        true);

  var reader = new ActiveXObject("TavirelleHelper.QXFileIO");
  check("opening a missing package",
        failureOf(function () { reader.OpenDotTavirelle(scratch + "missing.pkg", 0); }), E_FAIL);
  reader.OpenDotTavirelle(written, 1);
  fso.CreateFolder(scratch + "out");
  reader.OutputPath = scratch + "out\\";
  reader.GenerateTavirelleData();
  check("meta.xml extracted", fso.FileExists(scratch + "out\\meta.xml"), true);
  check("the first photo extracted",
        fso.FileExists(scratch + "out\\" + show.GetPhoto(0)._OnlineName), true);
  var meta = reader.GetMetaXml();
  check("GetMetaXml holds the title", meta.indexOf("Summer by the sea") >= 0, true);
  check("GetMetaXml is the authored meta.xml", meta, fso.OpenTextFile(authored).ReadAll());
  check("Utils_MakeLegalName", reader.Utils_MakeLegalName("a/b:c"), "a b c");
  reader.CloseDotTavirelle();
  check("GetMetaXml after CloseDotTavirelle", failureOf(function () { reader.GetMetaXml(); }),
        E_FAIL);
}

try {
  run(WScript.Arguments);
  WScript.Echo("road.js: " + checks + " checks, " + failures + " failed");
} catch (e) {
  WScript.Echo("road.js: stopped by an error " + hex(e.number) + ": " + e.description);
}
