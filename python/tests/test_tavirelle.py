import gc
import os
import shutil
import subprocess
import sys
import threading

import pytest

import tavirelle
from conftest import HERE, PHOTOS

QXHELPER_CLSID = "{2080A7D9-1519-414A-A782-E5675D375030}"


def new_show(photos, output):
    show = tavirelle.create("TavirelleHelper.QXHelper")
    show.Title = "Trip to the sea"
    show.StyleId = "base"
    show.MusicPath = show.MUSIC_NONE
    show.OutputPath = str(output) + "/"
    for path in photos:
        photo = tavirelle.create("TavirelleHelper.PhotoDesc")
        photo.Path = path
        show.AddPhoto(photo)  # an object passed as an argument
    return show


@pytest.mark.parametrize("name", ["TavirelleHelper.QXHelper", "tavirellehelper.qxhelper.1",
                                  QXHELPER_CLSID, QXHELPER_CLSID.lower()])
def test_created_by_prog_id_or_class_id(name):
    show = tavirelle.create(name)
    assert "IQXHelper" in repr(show)
    assert show.PhotoCount == 0


def test_an_unknown_class_name_is_refused_in_words():
    with pytest.raises(tavirelle.ComError) as error:
        tavirelle.create("TavirelleHelper.NoSuchClass")
    assert error.value.hresult == 0x800401F3
    assert "no class of that name" in str(error.value)
    assert "TavirelleHelper.NoSuchClass" in str(error.value)


@pytest.mark.parametrize("prog_id, name, value, read_back", [
    ("QXHelper", "Title", "Café à la mer, Ærø", "Café à la mer, Ærø"),
    ("QXHelper", "starring", "", ""),
    ("PhotoDesc", "_DisplayDate", "2024-07-01", "2024-07-01"),
    ("PhotoDesc", "Orientation", 3, 3),
    ("Clip", "xPos", 0.25, 0.25),
    ("Clip", "SCALE", 2, 2.0),
])
def test_properties_read_back_what_was_set_in_any_case(prog_id, name, value, read_back):
    obj = tavirelle.create("TavirelleHelper." + prog_id)
    setattr(obj, name, value)
    got = getattr(obj, name.swapcase())
    assert got == read_back and type(got) is type(read_back)


def test_methods_take_objects_and_give_back_objects_and_out_values(photos, tmp_path):
    show = new_show(photos, tmp_path / "show")
    assert show.PhotoCount == 2
    second = show.GetPhoto(1)  # a returned IDispatch is an object in turn
    assert isinstance(second, tavirelle.Dispatch)
    assert second.Path == photos[1]
    clip = tavirelle.create("TavirelleHelper.Clip")
    second.AddClip(clip)
    assert show.GetPhoto(1).ClipCount == 1
    io = tavirelle.create("TavirelleHelper.QXFileIO")
    assert io.Utils_MakeLegalName("a/b:c") not in ("", "a/b:c")  # a retval


def test_dir_lists_members_and_tells_properties_from_methods():
    show = tavirelle.create("TavirelleHelper.QXHelper")
    assert {"Title", "PhotoCount", "AddPhoto", "GenerateMetaXML", "GetPhoto"} <= set(dir(show))
    assert callable(show.generatemetaxml)
    assert isinstance(show.photocount, int)


def test_failures_raise_their_hresult_in_words(tmp_path):
    show = tavirelle.create("TavirelleHelper.QXHelper")
    with pytest.raises(tavirelle.ComError) as error:
        show.NoSuchMember
    assert error.value.hresult == 0x80020006
    assert isinstance(error.value, AttributeError) and not hasattr(show, "NoSuchMember")

    with pytest.raises(tavirelle.ComError) as error:
        show.AddPhoto("not a photo")
    assert (error.value.hresult, error.value.argument) == (0x80020005, 1)
    assert str(error.value) == "AddPhoto: argument 1: type mismatch (0x80020005)"

    io = tavirelle.create("TavirelleHelper.QXFileIO")
    with pytest.raises(tavirelle.ComError) as error:
        io.WriteDotTavirelle(str(tmp_path / "missing" / "trip.pkg"), str(tmp_path) + "/")
    assert error.value.hresult == 0x80070003
    assert error.value.description == "no such folder"
    with pytest.raises(TypeError):
        io.WriteDotTavirelle("a", "b", "c")


@pytest.mark.parametrize("hresult, words", [
    (0x80070070, "disk full"), (0x80070002, "no such file"), (0x80070005, "permission denied"),
    (0x8002000E, "wrong number of arguments"), (0x80070457, "system error 1111"),
    (0x80001234, "the operation failed")])
def test_hresults_in_words(hresult, words):
    assert tavirelle.hresult_in_words(hresult) == words
    assert tavirelle.hresult_in_words(hresult - 2**32) == words  # as a signed HRESULT


def test_objects_are_released_when_python_drops_them(photos, tmp_path):
    gc.collect()
    module = tavirelle.module()
    assert module.DllCanUnloadNow() == 0
    show = new_show(photos, tmp_path / "show")
    photo = show.GetPhoto(0)
    del show
    gc.collect()
    assert module.DllCanUnloadNow() == 1  # the photo is still held
    del photo
    gc.collect()
    assert module.DllCanUnloadNow() == 0


def test_author_pack_and_read_the_title_back(photos, tmp_path):
    # No template beside the interpreter: the module finds the default style
    # in the data folder beside its own lib/ folder, built or installed.
    assert not os.path.exists(os.path.join(os.path.dirname(os.path.realpath(sys.executable)),
                                           "base_meta.xml"))
    show = new_show(photos, tmp_path / "show")
    show.Title = "Trip: 100%25 %2B sun & <sea>"  # form-encoded, as shows store texts
    show.GenerateMetaXML()
    assert (tmp_path / "show" / "meta.xml").exists()
    io = tavirelle.create("TavirelleHelper.QXFileIO")
    package = io.WriteDotTavirelle(str(tmp_path / "trip.pkg"), str(tmp_path / "show") + "/")
    assert package == str(tmp_path / "trip.pkg") and os.path.getsize(package) > 0
    io.OutputPath = str(tmp_path / "opened") + "/"
    (tmp_path / "opened").mkdir()
    io.OpenDotTavirelle(package, 0)
    icon, title = io.QuickGetShowInfo()
    assert (tmp_path / "opened" / icon).is_file()  # the show's icon, saved to be shown
    assert title == "Trip: 100% + sun & <sea>"
    assert "Trip" in io.GetMetaXml()
    io.CloseDotTavirelle()


def test_an_exception_description_from_the_object_is_the_message():
    from tavirelle import _dispatch, _native
    info = _native.EXCEPINFO()
    info.bstrDescription = _native.bstr("the show folder vanished")
    info.scode = 0x80070003 - 2**32
    error = _dispatch._failure(_dispatch.DISP_E_EXCEPTION, _dispatch._Member("Pack", 1), info,
                               0, 0)
    assert (error.hresult, error.description) == (0x80070003, "the show folder vanished")


def test_a_module_that_cannot_be_loaded_is_named(tmp_path):
    missing = str(tmp_path / "libTavirelleHelper.so")
    script = "import tavirelle\ntry:\n tavirelle.create('x')\nexcept tavirelle.ComError as e:\n print(e)"
    run = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                         env=dict(os.environ, TAVIRELLE_MODULE=missing,
                                  PYTHONPATH=os.path.dirname(os.path.dirname(tavirelle.__file__))))
    assert "TAVIRELLE_MODULE, " + missing in run.stdout, run.stdout + run.stderr


def _run_python(script, **env):
    """Runs script in a fresh interpreter that imports the package under test."""
    environment = dict(os.environ, PYTHONPATH=os.path.dirname(os.path.dirname(tavirelle.__file__)))
    environment.update(env)
    return subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                          env=environment, timeout=120)


def test_objects_refuse_calls_from_other_threads():
    # In a fresh interpreter: before the check, such calls crashed it.
    script = """
import threading, tavirelle
show = tavirelle.create("TavirelleHelper.QXHelper")
show.OutputPath = "/nonexistent-tavirelle/"
codes, lock = [], threading.Lock()
def work():
    photo = tavirelle.create("TavirelleHelper.PhotoDesc")  # its own, usable here
    photo.Path = "/nonexistent-tavirelle/p.jpg"
    for _ in range(50):
        for call in (lambda: show.AddPhoto(photo), lambda: show.RemovePhoto(0),
                     lambda: show.PhotoCount, lambda: setattr(show, "Title", "t")):
            try:
                call()
                result = "reached the object"
            except tavirelle.ComError as error:
                result = hex(error.hresult)
            with lock:
                codes.append(result)
threads = [threading.Thread(target=work) for _ in range(8)]
for t in threads: t.start()
for t in threads: t.join()
print(sorted(set(codes)), len(codes), show.PhotoCount)
"""
    run = _run_python(script)
    assert run.returncode == 0, run.stderr
    assert run.stdout.split("\n")[0] == "['0x8001010e'] 1600 0", run.stdout + run.stderr


def test_an_object_of_another_thread_is_refused_as_an_argument():
    show = tavirelle.create("TavirelleHelper.QXHelper")
    made = []
    worker = threading.Thread(target=lambda: made.append(tavirelle.create("TavirelleHelper.Clip")))
    worker.start()
    worker.join()
    photo = tavirelle.create("TavirelleHelper.PhotoDesc")
    with pytest.raises(tavirelle.ComError) as error:
        photo.AddClip(made[0])
    assert error.value.hresult == 0x8001010E
    assert "another thread" in str(error.value)
    assert photo.ClipCount == 0 and show.PhotoCount == 0


def test_objects_dropped_on_another_thread_are_released_by_their_owner():
    gc.collect()
    module = tavirelle.module()
    assert module.DllCanUnloadNow() == 0
    held = [tavirelle.create("TavirelleHelper.Clip")]
    dropper = threading.Thread(target=held.clear)
    dropper.start()
    dropper.join()
    gc.collect()
    assert module.DllCanUnloadNow() == 1  # not released on the wrong thread
    tavirelle.create("TavirelleHelper.Clip")  # the owner's next call releases it
    gc.collect()
    assert module.DllCanUnloadNow() == 0
    # An object whose thread has ended is released wherever it is dropped.
    made = []
    maker = threading.Thread(target=lambda: made.append(tavirelle.create("TavirelleHelper.Clip")))
    maker.start()
    maker.join()
    assert module.DllCanUnloadNow() == 1
    made.clear()
    gc.collect()
    assert module.DllCanUnloadNow() == 0


def test_no_public_constructor_takes_a_raw_pointer():
    run = _run_python("import tavirelle\ntry:\n tavirelle.Dispatch(12345)\n"
                      "except TypeError as e:\n print('refused:', e)")
    assert run.returncode == 0, run.stderr
    assert run.stdout.startswith("refused: "), run.stdout


def test_text_arguments_end_at_a_nul_and_refuse_what_the_code_page_lacks(tmp_path):
    show = tavirelle.create("TavirelleHelper.QXHelper")
    show.Title = "ab\x00cd"
    assert show.Title == "ab"
    show.Title = "Caf\u00e9"
    for foreign in ("\u039a\u03b1\u03bb\u03bf\u03ba\u03b1\u03af\u03c1\u03b9 \u590f\u5929",
                    "x\U0001F600"):
        with pytest.raises(tavirelle.ComError) as error:
            show.Title = foreign
        assert error.value.hresult == 0x80070459
        assert show.Title == "Caf\u00e9"
    show.OutputPath = str(tmp_path) + "/out/\x00junk"
    assert show.OutputPath == str(tmp_path) + "/out/"
    io = tavirelle.create("TavirelleHelper.QXFileIO")
    for name, folder in ((None, None), ("", ""), ("", str(tmp_path) + "/")):
        with pytest.raises(tavirelle.ComError) as error:
            io.WriteDotTavirelle(name, folder)
        assert error.value.hresult == 0x80070057, (name, folder)


def test_a_package_installed_under_local_finds_the_module_of_its_prefix(tmp_path):
    # pip install --prefix P on Debian puts the package in P/local/lib/...,
    # where `cmake --install --prefix P` put the module in P/lib/ and the
    # style template in P/share/tavirelle/.
    built = os.environ.get("TAVIRELLE_MODULE")
    if not built:
        pytest.skip("TAVIRELLE_MODULE does not name the module under test")
    prefix = tmp_path / "P"
    site = prefix / "local" / "lib" / ("python%d.%d" % sys.version_info[:2]) / "dist-packages"
    shutil.copytree(os.path.dirname(tavirelle.__file__), site / "tavirelle",
                    ignore=shutil.ignore_patterns("__pycache__"))
    (prefix / "lib").mkdir()
    shutil.copy(built, prefix / "lib" / "libTavirelleHelper.so.1")
    (prefix / "share" / "tavirelle").mkdir(parents=True)
    shutil.copy(os.path.join(HERE, "..", "..", "templates", "base_meta.xml"),
                prefix / "share" / "tavirelle")
    script = """
import os, sys, tavirelle
show = tavirelle.create("TavirelleHelper.QXHelper")
show.OutputPath = sys.argv[1]
photo = tavirelle.create("TavirelleHelper.PhotoDesc")
photo.Path = sys.argv[2]
show.AddPhoto(photo)
show.GenerateMetaXML()
print(tavirelle.module()._name)
print(os.path.exists(sys.argv[1] + "meta.xml"))
"""
    environment = {k: v for k, v in os.environ.items() if k != "TAVIRELLE_MODULE"}
    environment["PYTHONPATH"] = str(site)
    run = subprocess.run([sys.executable, "-c", script, str(tmp_path / "show") + "/",
                          os.path.join(PHOTOS, "hills.jpg")],
                         capture_output=True, text=True, env=environment, cwd=str(tmp_path),
                         timeout=120)
    assert run.returncode == 0, run.stderr
    assert run.stdout.split("\n")[:2] == [str(prefix / "lib" / "libTavirelleHelper.so.1"),
                                          "True"], run.stdout


def test_a_description_or_extraction_that_cannot_be_written_raises(photos, tmp_path):
    # A style the configuration names but no folder holds: run where that
    # configuration is the current folder's.
    (tmp_path / "config.xml").write_text("<config><templates><x>missing.xml</x></templates>"
                                         "</config>")
    script = """
import sys, tavirelle
show = tavirelle.create("TavirelleHelper.QXHelper")
show.StyleId = "x"
show.OutputPath = sys.argv[1]
photo = tavirelle.create("TavirelleHelper.PhotoDesc")
photo.Path = sys.argv[2]
show.AddPhoto(photo)
try:
    show.GenerateMetaXML()
except tavirelle.ComError as error:
    print(hex(error.hresult), error.member)
"""
    run = subprocess.run([sys.executable, "-c", script, str(tmp_path / "show") + "/", photos[0]],
                         capture_output=True, text=True, cwd=str(tmp_path), timeout=120)
    assert run.stdout == "0x80070002 GenerateMetaXML\n", run.stdout + run.stderr
    assert not (tmp_path / "show" / "meta.xml").exists()

    show = new_show(photos, tmp_path / "good")
    show.GenerateMetaXML()
    io = tavirelle.create("TavirelleHelper.QXFileIO")
    package = io.WriteDotTavirelle(str(tmp_path / "trip.pkg"), str(tmp_path / "good") + "/")
    io.OpenDotTavirelle(package, 0)
    io.OutputPath = str(tmp_path / "no" / "such" / "folder") + "/"
    with pytest.raises(tavirelle.ComError) as error:
        io.GenerateTavirelleData()
    assert error.value.hresult == 0x80070003
    assert error.value.description == "no such folder"
    io.OutputPath = str(tmp_path) + "/"
    io.GenerateTavirelleData()
    assert (tmp_path / "meta.xml").is_file()
