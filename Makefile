# kal: build, test and demo. `make test` installs what it needs.
BUILD ?= build
PYTHON := /usr/bin/python3
JOBS ?= 2
BUILD_TYPE ?= RelWithDebInfo
DEBIAN_PACKAGES := swig python3-dev python3-pytest python3-hypothesis libboost-dev cmake g++ \
                   googletest libgtest-dev make pybind11-dev mypy

.PHONY: deps build test demo docs install test-asan bench bench-instructions bench-scale fuzz clean

deps:
	@missing=$$(for p in $(DEBIAN_PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "installing: $$missing"; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	fi

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DPython3_EXECUTABLE=$(PYTHON) $(CMAKE_ARGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

demo: build
	$(BUILD)/kalvane examples/tour.py

# The API reference, one page per family, into $(BUILD)/docs (open index.html).
docs: build
	cmake --build $(BUILD) --target docs

# kal.py, kal.pyi, _kal, kalvane, the headers, the libraries and the CMake package into PREFIX.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

ASAN_FLAGS := -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined
# The interpreter is not instrumented: the sanitizer runtimes are preloaded and Python objects
# come from malloc so that their leaks show. Allocation stacks are unwound by frame pointers,
# which stop at the interpreter's first frame: unwinding fully makes every allocation of the
# interpreter ten times dearer. To see a leak's whole stack, run again with
# ASAN_OPTIONS=fast_unwind_on_malloc=0.
ASAN_ENV := LD_PRELOAD="$$(g++ -print-file-name=libasan.so) $$(g++ -print-file-name=libubsan.so)" \
  PYTHONMALLOC=malloc KAL_FUZZ_ROUNDS=1 \
  ASAN_OPTIONS=detect_leaks=1:strict_init_order=1 \
  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp:print_suppressions=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
test-asan: deps
	$(MAKE) build BUILD=build-asan BUILD_TYPE=Debug \
	  CMAKE_ARGS='-DCMAKE_CXX_FLAGS="$(ASAN_FLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(ASAN_FLAGS)" -DCMAKE_SHARED_LINKER_FLAGS="$(ASAN_FLAGS)" -DCMAKE_MODULE_LINKER_FLAGS="$(ASAN_FLAGS)"'
	$(ASAN_ENV) ctest --test-dir build-asan --output-on-failure -j$(JOBS)

# Call costs against a bare METH_O function, the same operations written against the C API and
# bound through pybind11; then how node operations scale with the network, the scene file, the
# shell's reading and a simulation's data.
bench: build
	cmake --build $(BUILD) --target bench-modules -j$(JOBS)
	PYTHONPATH=$(BUILD)/python:$(BUILD)/bench $(PYTHON) bench/bench.py
	PYTHONPATH=$(BUILD)/python $(PYTHON) bench/scale.py
	PYTHONPATH=$(BUILD)/python $(PYTHON) bench/scenefile.py
	PYTHONPATH=$(BUILD)/python $(PYTHON) bench/shell.py
	PYTHONPATH=$(BUILD)/python $(PYTHON) bench/simulation.py

# The call costs in instructions (callgrind), which the machine's load does not move.
bench-instructions: build
	@dpkg -s valgrind >/dev/null 2>&1 || (apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq valgrind)
	cmake --build $(BUILD) --target bench-modules -j$(JOBS)
	PYTHONPATH=$(BUILD)/python:$(BUILD)/bench $(PYTHON) bench/bench.py --instructions

# Per-call costs of node operations in networks of 10^2 to 10^5 nodes.
bench-scale: build
	PYTHONPATH=$(BUILD)/python $(PYTHON) bench/scale.py

# Fresh seeds for FUZZ_SECONDS; each new failure is minimised into tests/fuzz/regressions.json.
FUZZ_SECONDS ?= 600
fuzz: build
	PYTHONPATH=$(BUILD)/python $(PYTHON) tests/fuzz/kalfuzz.py run --seconds $(FUZZ_SECONDS)

clean:
	rm -rf build build-asan
