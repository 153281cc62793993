"""Failures of the module's objects, as an exception that says what went wrong."""

# Win32 error codes as they come wrapped in HRESULTs (0x8007xxxx), in the
# words the tavirelle command uses for them.
_WIN32_WORDS = {
    2: "no such file",
    3: "no such folder",
    4: "too many open files",
    5: "permission denied",
    8: "out of memory",
    14: "out of memory",
    13: "the data is not valid",
    19: "the medium is write-protected",
    21: "input/output error",
    23: "damaged: the data does not match its checksum",
    32: "the file is in use",
    80: "it already exists",
    87: "invalid argument",
    112: "disk full",
    123: "the name cannot be used here",
    145: "the folder is not empty",
    183: "it already exists",
    206: "name too long",
    223: "file too large",
    267: "not a folder",
    1113: "the text has no form in the needed character set",
    1223: "the operation was cancelled",
}

_HRESULT_WORDS = {
    0x80004001: "not implemented",
    0x8001010E: "the object belongs to another thread (use it on the thread that made it)",
    0x80004002: "the object does not have that interface",
    0x80004003: "a required pointer was null",
    0x80004004: "the operation was aborted",
    0x80004005: "the operation failed",
    0x8000FFFF: "unexpected failure",
    0x80040110: "the class cannot be aggregated",
    0x80040111: "the module does not serve that class",
    0x80040154: "the class is not registered",
    0x800401F3: "no class of that name (neither a known ProgID nor a class ID)",
    0x800401F8: "the module of the class cannot be loaded",
    0x800401F9: "the module of the class has no class objects",
    0x80020001: "unknown interface",
    0x80020003: "no such member, or not usable that way",
    0x80020004: "no such named argument",
    0x80020005: "type mismatch",
    0x80020006: "unknown name",
    0x80020008: "unsupported value type",
    0x80020009: "the member raised an exception",
    0x8002000A: "the value is out of range",
    0x8002000B: "index out of range",
    0x8002000E: "wrong number of arguments",
    0x8002000F: "a required argument is missing",
    0x8002802B: "element not found",
}


def hresult_in_words(hresult):
    """What a failing HRESULT means, in words."""
    value = hresult & 0xFFFFFFFF
    if value & 0xFFFF0000 == 0x80070000 and value & 0xFFFF in _WIN32_WORDS:
        return _WIN32_WORDS[value & 0xFFFF]
    if value in _HRESULT_WORDS:
        return _HRESULT_WORDS[value]
    if value & 0xFFFF0000 == 0x80070000:
        return "system error %d" % (value & 0xFFFF)
    return "the operation failed"


class ComError(Exception):
    """A call into the module failed.

    hresult is the status as an unsigned 32-bit number, description its
    meaning in words (the object's own description when it gave one),
    member the name that was called, argument the 1-based position of the
    argument at fault when the object said which.
    """

    def __init__(self, hresult, member=None, description=None, argument=None):
        self.hresult = hresult & 0xFFFFFFFF
        self.member = member
        self.description = description or hresult_in_words(self.hresult)
        self.argument = argument
        text = self.description
        if argument is not None:
            text = "argument %d: %s" % (argument, text)
        if member:
            text = "%s: %s" % (member, text)
        super().__init__("%s (0x%08X)" % (text, self.hresult))


class UnknownNameError(ComError, AttributeError):
    """An attribute the object does not have; hasattr() sees it as missing."""
