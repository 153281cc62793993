# Installs the package as a user does: pip, into a virtual environment made
# with the distribution's setuptools, offline. Nothing is put beside the
# interpreter: the module under test finds the default style in the build
# tree's share/tavirelle/, as an installed module finds its own.
#   cmake -DPYTHON=... -DSOURCE=python/ -DVENV=... -P install_into_venv.cmake
file(REMOVE_RECURSE ${VENV} ${VENV}-source)
execute_process(COMMAND ${PYTHON} -m venv --system-site-packages --copies --without-pip ${VENV}
                COMMAND_ERROR_IS_FATAL ANY)
# pip builds in the folder it installs from: a copy keeps the checkout clean.
file(COPY ${SOURCE}/pyproject.toml ${SOURCE}/README.md ${SOURCE}/tavirelle
     DESTINATION ${VENV}-source PATTERN __pycache__ EXCLUDE)
execute_process(COMMAND ${VENV}/bin/python3 -m pip install --no-build-isolation --no-index
                        --disable-pip-version-check --quiet ${VENV}-source
                COMMAND_ERROR_IS_FATAL ANY)
# The installed copy, not the checkout, is what the tests import.
execute_process(COMMAND ${VENV}/bin/python3 -c
                  "import sys, tavirelle; assert tavirelle.__file__.startswith(sys.prefix), tavirelle.__file__"
                WORKING_DIRECTORY ${VENV} COMMAND_ERROR_IS_FATAL ANY)
