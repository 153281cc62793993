"""Late-bound objects: members found by name through IDispatch, told apart as
properties and methods by the object's type information."""

import ctypes
import threading
import weakref

from . import _native as n
from ._errors import ComError, UnknownNameError

DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT = 1, 2, 4
DISPID_PROPERTYPUT = -3
INVOKE_FUNC, INVOKE_PROPERTYGET, INVOKE_PROPERTYPUT, INVOKE_PROPERTYPUTREF = 1, 2, 4, 8
PARAMFLAG_FIN, PARAMFLAG_FOUT, PARAMFLAG_FRETVAL = 0x1, 0x2, 0x8
FUNCFLAG_FRESTRICTED = 0x1
MEMBERID_NIL = -1
DISP_E_EXCEPTION = 0x80020009
DISP_E_MEMBERNOTFOUND = 0x80020003
DISP_E_BADPARAMCOUNT = 0x8002000E
RPC_E_WRONG_THREAD = 0x8001010E
_ARGUMENT_FAULTS = (0x80020004, 0x80020005)  # parameter not found, type mismatch

_p = ctypes.c_void_p
_u32 = ctypes.c_uint32


class _Member:
    """One name of an interface: its property get and put, or its method.

    get and method hold the flags of each parameter; None when absent.
    """
    __slots__ = ("name", "dispid", "get", "put", "method")

    def __init__(self, name, dispid):
        self.name, self.dispid = name, dispid
        self.get = self.put = self.method = None


class _Type:
    """What the type information says about one interface; shared by all of
    its objects. An object without type information gets an empty one of its
    own and is called in the untyped way."""

    def __init__(self, name="", typed=False):
        self.name = name
        self.typed = typed
        self.members = {}  # dispid -> _Member
        self.dispids = {}  # lower-case name -> dispid, as GetIDsOfNames answered


_types = {}  # interface ID -> _Type


def _hresult(value):
    return value & 0xFFFFFFFF


# The module's objects are apartment-threaded: each is used on the thread that
# made it, as the system's runtime enforces for such objects. ctypes lets go of
# the interpreter lock during every call, so two threads in one object at once
# would corrupt it; a call from another thread is refused before it reaches
# the module. A reference dropped on another thread is released by the owner
# at its next call, or at once when the owner has ended (nothing else can
# reach the object then); those releases take one lock between them.
_pending_lock = threading.Lock()
_pending = {}  # owning thread -> pointers it is to release
_orphans_lock = threading.Lock()


def _owner_check(owner, member):
    if threading.current_thread() is not owner:
        raise ComError(RPC_E_WRONG_THREAD, member)
    _release_pending()


def _release_pending():
    if not _pending:
        return
    with _pending_lock:
        pointers = _pending.pop(threading.current_thread(), ())
    for pointer in pointers:
        n.release(pointer)


def _finalize(pointer, owner):
    if threading.current_thread() is owner:
        n.release(pointer)
        return
    with _pending_lock:
        if owner.is_alive():
            _pending.setdefault(owner, []).append(pointer)
            return
    with _orphans_lock:
        n.release(pointer)


def _type_of(pointer):
    info = _p()
    hr = n.vtable_call(pointer, 4, n.HRESULT, _u32, _u32, ctypes.POINTER(_p))(
        0, 0, ctypes.byref(info))
    if hr < 0 or not info.value:
        return _Type()
    try:
        return _describe(info.value)
    finally:
        n.release(info.value)


def _describe(info):
    attr = ctypes.POINTER(n.TYPEATTR)()
    if n.vtable_call(info, 3, n.HRESULT, _p)(ctypes.byref(attr)) < 0:
        return _Type()
    key, count = str(attr.contents.guid), attr.contents.cFuncs
    n.vtable_call(info, 19, None, _p)(attr)
    if key in _types:
        return _types[key]
    name = _p()
    get_documentation = n.vtable_call(info, 12, n.HRESULT, ctypes.c_int32, _p, _p, _p, _p)
    if get_documentation(MEMBERID_NIL, ctypes.byref(name), None, None, None) < 0:
        name.value = None
    described = _Type(n.take_text(name.value), typed=True)
    get_func_desc = n.vtable_call(info, 5, n.HRESULT, _u32, _p)
    get_names = n.vtable_call(info, 7, n.HRESULT, ctypes.c_int32, _p, _u32, _p)
    release_func_desc = n.vtable_call(info, 20, None, _p)
    for index in range(count):
        desc = ctypes.POINTER(n.FUNCDESC)()
        if get_func_desc(index, ctypes.byref(desc)) < 0:
            continue
        d = desc.contents
        flags = [d.lprgelemdescParam[i].wParamFlags for i in range(d.cParams)]
        memid, kind, restricted = d.memid, d.invkind, d.wFuncFlags & FUNCFLAG_FRESTRICTED
        release_func_desc(desc)
        if restricted:
            continue
        names = (_p * 1)()
        got = _u32()
        if get_names(memid, names, 1, ctypes.byref(got)) < 0 or got.value < 1:
            continue
        member = described.members.get(memid)
        if member is None:
            member = described.members[memid] = _Member(n.take_text(names[0]), memid)
        else:
            n.take_text(names[0])
        if kind == INVOKE_PROPERTYGET:
            member.get = flags
        elif kind in (INVOKE_PROPERTYPUT, INVOKE_PROPERTYPUTREF):
            member.put = kind
        else:
            member.method = flags
    _types[key] = described
    return described


def _to_variant(value, variant, member):
    if value is None:
        variant.vt = n.VT_EMPTY
    elif isinstance(value, bool):
        variant.vt, variant.iVal = n.VT_BOOL, -1 if value else 0
    elif isinstance(value, int):
        if -2**31 <= value < 2**31:
            variant.vt, variant.lVal = n.VT_I4, value
        elif -2**63 <= value < 2**63:
            variant.vt, variant.llVal = n.VT_I8, value
        elif 0 <= value < 2**64:
            variant.vt, variant.ullVal = n.VT_UI8, value
        else:
            raise OverflowError("%s: %d does not fit in 64 bits" % (member, value))
    elif isinstance(value, float):
        variant.vt, variant.dblVal = n.VT_R8, value
    elif isinstance(value, str):
        variant.ptr = n.bstr(value)
        variant.vt = n.VT_BSTR
    elif isinstance(value, Dispatch):
        _owner_check(object.__getattribute__(value, "_tv_thread"), member)
        pointer = object.__getattribute__(value, "_tv_pointer")
        n.add_ref(pointer)  # the variant's own reference, dropped by VariantClear
        variant.vt, variant.ptr = n.VT_DISPATCH, pointer
    else:
        raise TypeError("%s: cannot pass a %s" % (member, type(value).__name__))


_SIGNED = {n.VT_I1: "cVal", n.VT_I2: "iVal", n.VT_I4: "lVal", n.VT_INT: "lVal",
           n.VT_I8: "llVal", n.VT_ERROR: "lVal"}
_UNSIGNED = {n.VT_UI1: "bVal", n.VT_UI2: "uiVal", n.VT_UI4: "ulVal", n.VT_UINT: "ulVal",
             n.VT_UI8: "ullVal"}


def _take(variant):
    """The value of a variant the caller owns, leaving it empty."""
    vt = variant.vt
    try:
        if vt in (n.VT_EMPTY, n.VT_NULL):
            return None
        if vt in _SIGNED:
            return getattr(variant, _SIGNED[vt])
        if vt in _UNSIGNED:
            return getattr(variant, _UNSIGNED[vt])
        if vt == n.VT_R4:
            return variant.fltVal
        if vt == n.VT_R8:
            return variant.dblVal
        if vt == n.VT_BOOL:
            return variant.iVal != 0
        if vt == n.VT_BSTR:
            return n.text_of(variant.ptr)
        if vt in (n.VT_DISPATCH, n.VT_UNKNOWN) and not variant.ptr:
            return None
        if vt == n.VT_DISPATCH:
            pointer, variant.vt = variant.ptr, n.VT_EMPTY  # its reference moves to the object
            return _wrap(pointer)
        if vt == n.VT_UNKNOWN:
            found = _p()
            hr = n.vtable_call(variant.ptr, 0, n.HRESULT, _p, _p)(
                ctypes.byref(n.IID_IDispatch), ctypes.byref(found))
            if hr < 0:
                raise ComError(hr, description="the returned object has no IDispatch")
            return _wrap(found.value)
        raise TypeError("the module returned a value of unsupported type %d" % vt)
    finally:
        n.module().VariantClear(ctypes.byref(variant))


def _invoke(pointer, member, flags, slots):
    """Calls member with slots in parameter order: ("in", value) or ("out",).

    Returns the result and the out values in order.
    """
    count = len(slots)
    args = (n.VARIANT * max(count, 1))()
    outs = (n.VARIANT * max(count, 1))()
    result = n.VARIANT()
    excepinfo = n.EXCEPINFO()
    arg_error = _u32(0xFFFFFFFF)
    out_indexes = []
    try:
        for i, slot in enumerate(slots):
            variant = args[count - 1 - i]  # positional arguments go last to first
            if slot[0] == "out":
                variant.vt = n.VT_BYREF | n.VT_VARIANT
                variant.ptr = ctypes.addressof(outs[i])
                out_indexes.append(i)
            else:
                _to_variant(slot[1], variant, member.name)
        put = (ctypes.c_int32 * 1)(DISPID_PROPERTYPUT)
        params = n.DISPPARAMS(args, put if flags == DISPATCH_PROPERTYPUT else None, count,
                              1 if flags == DISPATCH_PROPERTYPUT else 0)
        invoke = n.vtable_call(pointer, 6, n.HRESULT, ctypes.c_int32, _p, _u32, ctypes.c_uint16,
                               _p, _p, _p, _p)
        hr = invoke(member.dispid, ctypes.byref(n.IID_NULL), 0, flags, ctypes.byref(params),
                    ctypes.byref(result), ctypes.byref(excepinfo), ctypes.byref(arg_error))
    finally:
        for i in range(count):
            n.module().VariantClear(ctypes.byref(args[i]))
    if hr < 0:
        for i in out_indexes:
            n.module().VariantClear(ctypes.byref(outs[i]))
        n.module().VariantClear(ctypes.byref(result))
        raise _failure(hr, member, excepinfo, arg_error.value, count)
    value = _take(result)
    return value, [_take(outs[i]) for i in out_indexes]


def _failure(hr, member, excepinfo, arg_error, count):
    description = None
    if _hresult(hr) == DISP_E_EXCEPTION:
        if excepinfo.pfnDeferredFillIn:
            excepinfo.pfnDeferredFillIn(ctypes.byref(excepinfo))
        description = n.take_text(excepinfo.bstrDescription) or None
        n.take_text(excepinfo.bstrSource)
        n.take_text(excepinfo.bstrHelpFile)
        if excepinfo.scode:
            hr = excepinfo.scode
    argument = None
    if _hresult(hr) in _ARGUMENT_FAULTS and arg_error < count:
        argument = count - arg_error
    return ComError(hr, member.name, description, argument)


def _call(pointer, member, flags, params, args):
    """Calls a member whose parameters the type information gave: the caller
    passes the in parameters; out and retval ones come back as results."""
    if params is None:  # untyped: everything goes in, the result comes out
        return _invoke(pointer, member, flags, [("in", a) for a in args])[0]
    ins = [f for f in params if not f & PARAMFLAG_FRETVAL
           and not (f & PARAMFLAG_FOUT and not f & PARAMFLAG_FIN)]
    if len(args) > len(ins):
        raise TypeError("%s takes %d argument%s (%d given)"
                        % (member.name, len(ins), "" if len(ins) == 1 else "s", len(args)))
    slots, given = [], iter(args)
    for f in params:
        if f & PARAMFLAG_FRETVAL:
            continue
        if f & PARAMFLAG_FOUT and not f & PARAMFLAG_FIN:
            slots.append(("out",))
            continue
        value = next(given, _missing)
        if value is _missing:
            break  # the object reports what is missing
        slots.append(("in", value))
    value, outs = _invoke(pointer, member, flags, slots)
    results = ([value] if any(f & PARAMFLAG_FRETVAL for f in params) else []) + outs
    if not results:
        return None
    return results[0] if len(results) == 1 else tuple(results)


_missing = object()


class _Method:
    """A method of one object, bound for calling."""
    __slots__ = ("_target", "_member", "_flags", "_params")

    def __init__(self, target, member, flags, params):
        self._target, self._member, self._flags, self._params = target, member, flags, params

    def __call__(self, *args):
        _owner_check(object.__getattribute__(self._target, "_tv_thread"), self._member.name)
        pointer = object.__getattribute__(self._target, "_tv_pointer")
        return _call(pointer, self._member, self._flags, self._params, args)

    def __repr__(self):
        return "<method %s of %r>" % (self._member.name, self._target)


class Dispatch:
    """An object of the module, reached by name: properties read and set as
    attributes, methods called as methods. The object is released when
    Python drops its last reference.

    Objects come from create() and from the members of other objects, and
    belong to the thread that got them: a call from another thread raises
    ComError with RPC_E_WRONG_THREAD."""
    __slots__ = ("_tv_pointer", "_tv_type", "_tv_thread", "__weakref__")

    def __init__(self, *args, **kwargs):
        raise TypeError("tavirelle.Dispatch objects come from tavirelle.create() and from the "
                        "members of other objects")

    def _tv_member(self, name):
        _owner_check(object.__getattribute__(self, "_tv_thread"), name)
        described = object.__getattribute__(self, "_tv_type")
        pointer = object.__getattribute__(self, "_tv_pointer")
        key = name.lower()
        dispid = described.dispids.get(key)
        if dispid is None:
            text = n.wide(name)
            names = (_p * 1)(ctypes.addressof(text))
            found = ctypes.c_int32()
            hr = n.vtable_call(pointer, 5, n.HRESULT, _p, _p, _u32, _u32, _p)(
                ctypes.byref(n.IID_NULL), names, 1, 0, ctypes.byref(found))
            if hr < 0:
                raise UnknownNameError(hr, name)
            dispid = described.dispids[key] = found.value
        member = described.members.get(dispid)
        if member is None:
            member = _Member(name, dispid)  # not in the type information: untyped
        return described, member

    def __getattr__(self, name):
        if name.startswith("__") and name.endswith("__"):
            raise AttributeError(name)
        described, member = self._tv_member(name)
        pointer = object.__getattribute__(self, "_tv_pointer")
        if member.get is not None and not _visible(member.get):
            return _call(pointer, member, DISPATCH_PROPERTYGET, member.get, ())
        if member.method is not None:
            return _Method(self, member, DISPATCH_METHOD, member.method)
        if member.get is not None:  # a property with arguments
            return _Method(self, member, DISPATCH_PROPERTYGET, member.get)
        if described.typed and member.put is not None:
            raise ComError(DISP_E_MEMBERNOTFOUND, member.name, "the property can only be set")
        try:
            return _call(pointer, member, DISPATCH_PROPERTYGET, None, ())
        except ComError as error:
            if error.hresult not in (DISP_E_MEMBERNOTFOUND, DISP_E_BADPARAMCOUNT):
                raise
        return _Method(self, member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, None)

    def __setattr__(self, name, value):
        if name in Dispatch.__slots__:
            raise AttributeError("%s is the wrapper's own" % name)
        _, member = self._tv_member(name)
        pointer = object.__getattribute__(self, "_tv_pointer")
        _invoke(pointer, member, DISPATCH_PROPERTYPUT, [("in", value)])

    def __dir__(self):
        described = object.__getattribute__(self, "_tv_type")
        return sorted(m.name for m in described.members.values())

    def __repr__(self):
        described = object.__getattribute__(self, "_tv_type")
        return "<tavirelle.Dispatch %s at 0x%x>" % (
            described.name or "object", object.__getattribute__(self, "_tv_pointer"))


def _wrap(pointer):
    """The object for an IDispatch pointer whose reference it takes over."""
    obj = object.__new__(Dispatch)
    owner = threading.current_thread()
    object.__setattr__(obj, "_tv_pointer", pointer)
    object.__setattr__(obj, "_tv_thread", owner)
    weakref.finalize(obj, _finalize, pointer, owner)
    object.__setattr__(obj, "_tv_type", _type_of(pointer))
    return obj


def _visible(params):
    return [f for f in params if not f & PARAMFLAG_FRETVAL]


def create(name):
    """A new object of the class named by ProgID ("TavirelleHelper.QXHelper",
    with or without ".1", any case) or by class ID in braces.

    The module's own classes need no registration; other registered classes
    are created through the registry.
    """
    _release_pending()
    obj = _p()
    hr = n.module().TavirelleCreateObject(n.wide(name), ctypes.byref(n.IID_IDispatch),
                                          ctypes.byref(obj))
    if hr < 0:
        raise ComError(hr, name)
    return _wrap(obj.value)
