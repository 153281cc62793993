"""The module's binary interface: finding and loading libTavirelleHelper,
the standard 64-bit layouts of VARIANT and the type descriptions, and calls
through an interface's virtual table."""

import ctypes
import ctypes.util
import os
import sysconfig
import threading
import uuid

from ._errors import ComError

SONAME = "libTavirelleHelper.so.1"
HRESULT = ctypes.c_int32

VT_EMPTY, VT_NULL, VT_I2, VT_I4, VT_R4, VT_R8 = 0, 1, 2, 3, 4, 5
VT_BSTR, VT_DISPATCH, VT_ERROR, VT_BOOL, VT_VARIANT, VT_UNKNOWN = 8, 9, 10, 11, 12, 13
VT_I1, VT_UI1, VT_UI2, VT_UI4, VT_I8, VT_UI8, VT_INT, VT_UINT = 16, 17, 18, 19, 20, 21, 22, 23
VT_BYREF = 0x4000


class GUID(ctypes.Structure):
    _fields_ = [("Data1", ctypes.c_uint32), ("Data2", ctypes.c_uint16),
                ("Data3", ctypes.c_uint16), ("Data4", ctypes.c_uint8 * 8)]

    @classmethod
    def parse(cls, text):
        u = uuid.UUID(text)
        g = cls(u.time_low, u.time_mid, u.time_hi_version)
        g.Data4[:] = list(u.bytes[8:])
        return g

    def __str__(self):
        raw = (self.Data1.to_bytes(4, "big") + self.Data2.to_bytes(2, "big")
               + self.Data3.to_bytes(2, "big") + bytes(self.Data4))
        return "{%s}" % str(uuid.UUID(bytes=raw)).upper()


class _Value(ctypes.Union):
    _fields_ = [("llVal", ctypes.c_int64), ("ullVal", ctypes.c_uint64),
                ("lVal", ctypes.c_int32), ("ulVal", ctypes.c_uint32),
                ("iVal", ctypes.c_int16), ("uiVal", ctypes.c_uint16),
                ("cVal", ctypes.c_int8), ("bVal", ctypes.c_uint8),
                ("fltVal", ctypes.c_float), ("dblVal", ctypes.c_double),
                ("ptr", ctypes.c_void_p), ("record", ctypes.c_void_p * 2)]


class VARIANT(ctypes.Structure):
    _anonymous_ = ("v",)
    _fields_ = [("vt", ctypes.c_uint16), ("wReserved1", ctypes.c_uint16),
                ("wReserved2", ctypes.c_uint16), ("wReserved3", ctypes.c_uint16),
                ("v", _Value)]


class DISPPARAMS(ctypes.Structure):
    _fields_ = [("rgvarg", ctypes.POINTER(VARIANT)),
                ("rgdispidNamedArgs", ctypes.POINTER(ctypes.c_int32)),
                ("cArgs", ctypes.c_uint32), ("cNamedArgs", ctypes.c_uint32)]


class EXCEPINFO(ctypes.Structure):
    pass


EXCEPINFO._fields_ = [
    ("wCode", ctypes.c_uint16), ("wReserved", ctypes.c_uint16),
    ("bstrSource", ctypes.c_void_p), ("bstrDescription", ctypes.c_void_p),
    ("bstrHelpFile", ctypes.c_void_p), ("dwHelpContext", ctypes.c_uint32),
    ("pvReserved", ctypes.c_void_p),
    ("pfnDeferredFillIn", ctypes.CFUNCTYPE(HRESULT, ctypes.POINTER(EXCEPINFO))),
    ("scode", ctypes.c_int32)]


class TYPEDESC(ctypes.Structure):
    _fields_ = [("ptr", ctypes.c_void_p), ("vt", ctypes.c_uint16)]


class ELEMDESC(ctypes.Structure):
    _fields_ = [("tdesc", TYPEDESC), ("pparamdescex", ctypes.c_void_p),
                ("wParamFlags", ctypes.c_uint16)]


class TYPEATTR(ctypes.Structure):
    _fields_ = [("guid", GUID), ("lcid", ctypes.c_uint32), ("dwReserved", ctypes.c_uint32),
                ("memidConstructor", ctypes.c_int32), ("memidDestructor", ctypes.c_int32),
                ("lpstrSchema", ctypes.c_void_p), ("cbSizeInstance", ctypes.c_uint32),
                ("typekind", ctypes.c_int32), ("cFuncs", ctypes.c_uint16),
                ("cVars", ctypes.c_uint16), ("cImplTypes", ctypes.c_uint16),
                ("cbSizeVft", ctypes.c_uint16), ("cbAlignment", ctypes.c_uint16),
                ("wTypeFlags", ctypes.c_uint16), ("wMajorVerNum", ctypes.c_uint16),
                ("wMinorVerNum", ctypes.c_uint16), ("tdescAlias", TYPEDESC),
                ("dwReservedIdl", ctypes.c_size_t), ("wIDLFlags", ctypes.c_uint16)]


class FUNCDESC(ctypes.Structure):
    _fields_ = [("memid", ctypes.c_int32), ("lprgscode", ctypes.c_void_p),
                ("lprgelemdescParam", ctypes.POINTER(ELEMDESC)),
                ("funckind", ctypes.c_int32), ("invkind", ctypes.c_int32),
                ("callconv", ctypes.c_int32), ("cParams", ctypes.c_int16),
                ("cParamsOpt", ctypes.c_int16), ("oVft", ctypes.c_int16),
                ("cScodes", ctypes.c_int16), ("elemdescFunc", ELEMDESC),
                ("wFuncFlags", ctypes.c_uint16)]


for _struct, _size in ((VARIANT, 24), (EXCEPINFO, 64), (ELEMDESC, 32), (TYPEATTR, 96),
                       (FUNCDESC, 88)):
    assert ctypes.sizeof(_struct) == _size, _struct.__name__

IID_NULL = GUID()
IID_IDispatch = GUID.parse("00020400-0000-0000-C000-000000000046")


def vtable_call(pointer, index, restype, *argtypes):
    """The index-th function of the interface's virtual table, bound to it."""
    table = ctypes.cast(pointer, ctypes.POINTER(ctypes.POINTER(ctypes.c_void_p)))[0]
    function = ctypes.CFUNCTYPE(restype, ctypes.c_void_p, *argtypes)(table[index])
    return lambda *args: function(pointer, *args)


def add_ref(pointer):
    vtable_call(pointer, 1, ctypes.c_uint32)()


def release(pointer):
    vtable_call(pointer, 2, ctypes.c_uint32)()


def _candidates():
    """Where an installed module may be, with the package's own prefix first."""
    here = os.path.dirname(os.path.abspath(__file__))
    folders = []
    # <prefix>/lib/python3.X/site-packages/tavirelle: the module sits in
    # <prefix>/lib (or its multiarch or lib64 neighbour).
    # Debian's pip puts a package given --prefix P under P/local/, while the
    # module installed with the same prefix is in P/lib: both are tried.
    parts = here.split(os.sep)
    for i in range(len(parts) - 1, 0, -1):
        if parts[i] in ("lib", "lib64"):
            prefixes = [os.sep.join(parts[:i]) or os.sep]
            if parts[i - 1] == "local":
                prefixes.append(os.sep.join(parts[:i - 1]) or os.sep)
            multiarch = sysconfig.get_config_var("MULTIARCH")
            for prefix in prefixes:
                for libdir in ("lib", "lib64") + ((os.path.join("lib", multiarch),)
                                                  if multiarch else ()):
                    folders.append(os.path.join(prefix, libdir))
            break
    paths = [os.path.join(folder, SONAME) for folder in folders]
    return list(dict.fromkeys(paths))


_lock = threading.Lock()
_module = None


def _load_from(path):
    return ctypes.CDLL(path, mode=ctypes.RTLD_LOCAL)


def _find():
    named = os.environ.get("TAVIRELLE_MODULE")
    if named:
        try:
            return _load_from(os.path.abspath(named))
        except OSError as error:
            raise ComError(0x800401F8, description="cannot load the module named by "
                           "TAVIRELLE_MODULE, %s: %s" % (named, error)) from None
    looked = []
    for path in _candidates():
        if os.path.exists(path):
            return _load_from(path)
        looked.append(path)
    for name in (SONAME, ctypes.util.find_library("TavirelleHelper")):
        if not name:
            continue
        try:
            return _load_from(name)
        except OSError:
            looked.append("%s (the system's library path)" % name)
    raise ComError(0x800401F8, description="libTavirelleHelper not found: TAVIRELLE_MODULE is "
                   "unset and it is in none of " + ", ".join(looked))


def module():
    """The loaded module (a ctypes.CDLL), loaded on first use."""
    global _module
    with _lock:
        if _module is None:
            lib = _find()
            _declare(lib)
            _module = lib
        return _module


def _declare(lib):
    p = ctypes.c_void_p
    for name, restype, argtypes in (
            ("SysAllocStringLen", p, [p, ctypes.c_uint32]),
            ("SysFreeString", None, [p]),
            ("SysStringLen", ctypes.c_uint32, [p]),
            ("VariantInit", None, [ctypes.POINTER(VARIANT)]),
            ("VariantClear", HRESULT, [ctypes.POINTER(VARIANT)]),
            ("DllCanUnloadNow", HRESULT, []),
            ("TavirelleCreateObject", HRESULT, [p, ctypes.POINTER(GUID), ctypes.POINTER(p)])):
        function = getattr(lib, name)
        function.restype, function.argtypes = restype, argtypes


def wide(text):
    """A zero-terminated UTF-16 copy of text, kept alive by the caller."""
    return ctypes.create_string_buffer(text.encode("utf-16-le", "surrogatepass") + b"\0\0")


def bstr(text):
    units = text.encode("utf-16-le", "surrogatepass")
    value = module().SysAllocStringLen(ctypes.create_string_buffer(units), len(units) // 2)
    if not value:
        raise MemoryError("no memory for a text of %d characters" % len(text))
    return value


def text_of(value):
    if not value:
        return ""
    units = module().SysStringLen(value)
    return ctypes.string_at(value, 2 * units).decode("utf-16-le", "surrogatepass")


def take_text(value):
    """The text of a BSTR the caller owns, freeing it."""
    try:
        return text_of(value)
    finally:
        if value:
            module().SysFreeString(value)
