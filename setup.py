"""Builds the Python module `pdf417read` and its type stubs with CMake (see pyproject.toml).

setuptools asks for one extension module; CMake builds it, as it does
outside pip, and it is copied where setuptools expects it, the stubs beside it.
"""
import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

TOP = pathlib.Path(__file__).resolve().parent
# One version for the library, the program and the module: CMake's.
VERSION = re.search(r"project\(pdf417read VERSION ([0-9.]+)", (TOP / "CMakeLists.txt").read_text()).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        module = pathlib.Path(self.get_ext_fullpath(ext.name)).resolve()
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        subprocess.run(["cmake", "-S", str(TOP), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                        "-DPDF417_TESTS=OFF", "-DPDF417_BENCH=OFF", "-DPDF417_INSTALL=OFF", "-DPDF417_PYTHON=ON",
                        "-DPython3_EXECUTABLE=" + sys.executable], check=True)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", str(os.cpu_count() or 1))
        subprocess.run(["cmake", "--build", str(build), "--target", "pdf417read_python", "-j", jobs], check=True)
        built = build / "python" / module.name
        if not built.is_file():
            sys.exit("setup.py: CMake built no %s (are pybind11-dev and python3-dev installed?)" % built)
        module.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, module)
        shutil.copyfile(TOP / "python" / "pdf417read.pyi", module.parent / "pdf417read.pyi")


setup(
    version=VERSION,
    packages=[],
    py_modules=[],
    ext_modules=[Extension("pdf417read", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    # Beside the CMake build folders, not inside `build`.
    options={"build": {"build_base": "build-python"}},
)
