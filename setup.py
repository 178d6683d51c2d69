"""Builds the Python module `pdf417read` and its type stubs with CMake (see pyproject.toml)."""
import pathlib
import re
import sys

from skbuild import setup

top = pathlib.Path(__file__).resolve().parent
# One version for the library, the program and the module: CMake's.
version = re.search(r"project\(pdf417read VERSION ([0-9.]+)", (top / "CMakeLists.txt").read_text()).group(1)

setup(
    version=version,
    py_modules=[],
    # Only the module: the library, program and CMake package are not part of
    # a wheel, and the module goes to the wheel's top.
    cmake_args=[
        "-DCMAKE_BUILD_TYPE=Release",
        "-DPDF417_TESTS=OFF",
        "-DPDF417_BENCH=OFF",
        "-DPDF417_INSTALL=OFF",
        "-DPDF417_PYTHON=ON",
        "-DPDF417_PYTHON_INSTALL_DIR=.",
        "-DPython3_EXECUTABLE=" + sys.executable,
    ],
)
