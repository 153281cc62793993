"""Late-bound access to the objects of libTavirelleHelper from Python.

    import tavirelle
    show = tavirelle.create("TavirelleHelper.QXHelper")
    show.Title = "Trip"
    photo = tavirelle.create("TavirelleHelper.PhotoDesc")
    photo.Path = "/photos/sea.jpg"
    show.AddPhoto(photo)

The module is the file named by the environment variable TAVIRELLE_MODULE,
else the one installed beside this package's prefix, else the one the
system's loader finds (libTavirelleHelper.so.1). Failures raise ComError.
"""

from ._dispatch import Dispatch, create
from ._errors import ComError, UnknownNameError, hresult_in_words
from ._native import module

__all__ = ["ComError", "Dispatch", "UnknownNameError", "create", "hresult_in_words", "module"]
__version__ = "1.0.0"
