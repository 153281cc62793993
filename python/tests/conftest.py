import os
import sys

import pytest

import tavirelle

HERE = os.path.dirname(os.path.abspath(__file__))
PHOTOS = os.path.join(HERE, "..", "..", "examples", "photos")


@pytest.fixture(scope="session", autouse=True)
def private_registry(tmp_path_factory):
    """An empty registry, so that classes registered on this machine (and the
    module they name) play no part: the module's own classes are served
    unregistered."""
    os.environ["TAVIRELLE_REGISTRY"] = str(tmp_path_factory.mktemp("registry"))
    yield


@pytest.fixture
def photos():
    """Two of the sample photos."""
    return [os.path.abspath(os.path.join(PHOTOS, name)) for name in ("hills.jpg", "sunset.jpg")]

