#!/usr/bin/env python3
"""Tests of the benchmark's own rules: the fit rule, the output check, the floor and
the small-file set that the corpus step makes.

Run: python3 bench/test_benchlib.py (needs libvips-tools; the floor test also gcc
and libjpeg62-turbo-dev).
"""
import os
import random
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from benchlib import check, corpus, images, setup  # noqa: E402

HAVE_VIPS = shutil.which("vips") is not None


def make_image(path, width, height):
    """Noise in three bands, so encoders have real work to do."""
    folder = Path(path).parent
    steps = [["gaussnoise", "noise.v", str(width), str(height), "--mean", "128", "--sigma", "40"],
             ["cast", "noise.v", "grey.v", "uchar"],
             ["colourspace", "grey.v", "rgb.v", "srgb"],
             ["copy", "rgb.v", str(path)]]
    for step in steps:
        subprocess.run(["vips", step[0], *(str(folder / arg) if arg.endswith(".v") else arg
                                            for arg in step[1:])], check=True)
    for leftover in ("noise.v", "grey.v", "rgb.v"):
        (folder / leftover).unlink()


class FitRule(unittest.TestCase):
    CASES = [
        # name, image, target, expected (None: already fits)
        ("wide image, width decides", (1000, 300), (640, 480), (640, 192)),
        ("tall image, height decides", (500, 600), (640, 480), (400, 480)),
        ("portrait photo", (1200, 1600), (640, 480), (360, 480)),
        ("exactly the target is not larger", (640, 480), (640, 480), None),
        ("one pixel wider", (641, 100), (640, 480), (640, 100)),
        ("tie rounds to even: 1280x25", (1280, 25), (640, 480), (640, 12)),
        ("tie rounds to even: 1280x27", (1280, 27), (640, 480), (640, 14)),
        ("equal ratios, width decides", (1280, 960), (640, 480), (640, 480)),
        ("line rounds to 0, becomes 1", (10000, 1), (80, 80), (80, 1)),
        ("camera portrait pixels to 1024x768", (3000, 4000), (1024, 768), (576, 768)),
        ("6000x4000 to 640x480", (6000, 4000), (640, 480), (640, 427)),
    ]

    def test_table(self):
        for name, size, target, expected in self.CASES:
            with self.subTest(name):
                self.assertEqual(images.fitted_size(*size, *target), expected)


class Spread(unittest.TestCase):
    def test_subset_spans_the_list(self):
        self.assertEqual(corpus.spread(range(10), 3), [0, 3, 6])
        self.assertEqual(corpus.spread([3, 1, 2], None), [1, 2, 3])
        self.assertEqual(corpus.spread([1, 2], 5), [1, 2])


@unittest.skipUnless(HAVE_VIPS, "libvips-tools not installed")
class OutputCheck(unittest.TestCase):
    """A correct run is made by hand, then one fault is put into it."""

    LARGE = {"large-1280x960.jpg": ".jpg", "alpha-1280x960.png": ".png",
             "opaque-alpha-1280x960.png": ".png"}

    def setUp(self):
        self.temporary = tempfile.TemporaryDirectory()
        self.root = Path(self.temporary.name)
        self.sources = self.root / "sources"
        self.outputs = self.root / "outputs"
        self.sources.mkdir()
        make_image(self.sources / "large-1280x960.jpg", 1280, 960)
        make_image(self.sources / "small-320x240.png", 320, 240)
        make_image(self.root / "opaque.png", 1280, 960)
        for name, alpha in (("alpha-1280x960.png", "128"), ("opaque-alpha-1280x960.png", "255")):
            subprocess.run(["vips", "bandjoin_const", str(self.root / "opaque.png"),
                            str(self.sources / name), alpha], check=True)
        paths = [str(path) for path in sorted(self.sources.iterdir())]
        self.image_set = corpus.ImageSet("test", (640, 480), paths, images.read_headers(paths))
        corpus.fresh_copy(self.image_set, self.outputs)

    def tearDown(self):
        self.temporary.cleanup()

    def shrink(self, name, width=640, height=480, suffix=None):
        path = self.outputs / name
        suffix = suffix or self.LARGE[name]
        subprocess.run(["vips", "thumbnail", str(path), str(self.root / ("t" + suffix)),
                        str(width), "--height", str(height), "--size", "force"], check=True)
        os.replace(self.root / ("t" + suffix), path)

    def shrink_all_but(self, *names):
        for name in self.LARGE:
            if name not in names:
                self.shrink(name)

    def drop_alpha(self, name):
        path = self.outputs / name
        subprocess.run(["vips", "thumbnail", str(path), str(self.root / "t.v"), "640",
                        "--height", "480"], check=True)
        subprocess.run(["vips", "flatten", str(self.root / "t.v"), str(path)], check=True)

    def check(self, strict):
        return check.check_outputs(self.image_set, self.outputs, strict=strict)

    def test_right_outputs_pass_strictly(self):
        self.shrink_all_but()
        result = self.check(strict=True)
        self.assertTrue(result.passed(strict=True), result.details)
        self.assertEqual(result.exact, 4)

    def test_untouched_large_files_are_wrong(self):
        result = self.check(strict=False)
        self.assertEqual(result.wrong, 3)
        self.assertFalse(result.passed(strict=False))

    def test_one_pixel_off_fails_ours_only(self):
        self.shrink_all_but("large-1280x960.jpg")
        self.shrink("large-1280x960.jpg", 640, 479)
        result = self.check(strict=True)
        self.assertEqual(result.off_by_one, 1)
        self.assertFalse(result.passed(strict=True))
        self.assertTrue(result.passed(strict=False))

    def test_format_change_is_wrong(self):
        self.shrink_all_but("large-1280x960.jpg")
        self.shrink("large-1280x960.jpg", suffix=".png")
        result = self.check(strict=False)
        self.assertEqual(result.wrong, 1)
        self.assertIn("jpegload became pngload", "\n".join(result.details))

    def test_dropped_alpha_fails_ours_only(self):
        self.shrink_all_but("alpha-1280x960.png")
        self.drop_alpha("alpha-1280x960.png")
        result = self.check(strict=True)
        self.assertEqual((result.exact, result.alpha_lost), (4, 1))
        self.assertFalse(result.passed(strict=True))
        self.assertTrue(result.passed(strict=False))

    def test_dropped_opaque_alpha_is_harmless(self):
        self.shrink_all_but("opaque-alpha-1280x960.png")
        self.drop_alpha("opaque-alpha-1280x960.png")
        result = self.check(strict=True)
        self.assertTrue(result.passed(strict=True), result.details)

    def test_truncated_output_does_not_decode(self):
        self.shrink_all_but()
        path = self.outputs / "large-1280x960.jpg"
        path.write_bytes(path.read_bytes()[: path.stat().st_size // 2])
        result = self.check(strict=False)
        self.assertEqual(result.undecodable, 1)

    def test_lost_and_left_over_files(self):
        self.shrink_all_but()
        (self.outputs / "small-320x240.png").rename(self.outputs / ".tmp-small-320x240.png")
        result = self.check(strict=False)
        self.assertEqual((result.lost, result.extra), (1, 1))

    def test_rewritten_small_file_fails_ours_only(self):
        self.shrink_all_but()
        small = self.outputs / "small-320x240.png"
        subprocess.run(["vips", "copy", str(small), str(self.root / "t.png[compression=1]")],
                       check=True)
        os.replace(self.root / "t.png", small)
        result = self.check(strict=True)
        self.assertEqual(result.rewritten_small, 1)
        self.assertFalse(result.passed(strict=True))
        self.assertTrue(result.passed(strict=False))


class SmallPlan(unittest.TestCase):
    PHOTOS = [f"/corpus/jpeg/photo-{index}.jpg" for index in range(7)]

    def test_counts_shares_and_whole_photographs(self):
        items = corpus.plan_small(self.PHOTOS, jpeg_count=40)
        names = [item.name for item in items]
        self.assertEqual(len(names), len(set(names)))
        jpegs = [item for item in items if item.name.endswith(".jpg")]
        self.assertEqual(len(jpegs), 40)
        self.assertEqual({item.size for item in jpegs}, {corpus.SMALL_JPEG_SIZE})
        self.assertEqual([item.variant for item in jpegs].count("whole"), len(self.PHOTOS))
        for suffix, (count, variants) in corpus.SMALL_OTHERS.items():
            dealt = [item.variant for item in items if item.name.endswith("." + suffix)]
            self.assertEqual(len(dealt), count)
            shares = sum(share for _, share in variants)
            for variant, share in variants:
                with self.subTest(f"{suffix} {variant}"):
                    self.assertAlmostEqual(dealt.count(variant), count * share / shares, delta=1)
        used = {item.photo for item in items}
        self.assertEqual(used, set(self.PHOTOS))

    def test_the_seed_decides_everything(self):
        self.assertEqual(corpus.plan_small(self.PHOTOS, jpeg_count=40),
                         corpus.plan_small(self.PHOTOS, jpeg_count=40))
        self.assertNotEqual(corpus.plan_small(self.PHOTOS, seed=1, jpeg_count=40),
                            corpus.plan_small(self.PHOTOS, seed=2, jpeg_count=40))


class SmallWindow(unittest.TestCase):
    def test_window_avoids_the_flat_half(self):
        # A map of a picture whose left half is flat: 20 x 10 cells.
        rows = [[0.0] * 10 + [40.0] * 10 for _ in range(10)]
        table = [[0.0] * 21 for _ in range(11)]
        for y, row in enumerate(rows):
            for x, value in enumerate(row):
                table[y + 1][x + 1] = value + table[y][x + 1] + table[y + 1][x] - table[y][x]
        rng = random.Random(7)
        for _ in range(50):
            # The picture is half the map's size: 100 x 50 pixels, windows of 20 x 15.
            left, top = corpus._choose_window(table, 2.0, (100, 50), (20, 15), rng)
            self.assertGreater(corpus._window_activity(table, 2.0, left, top, 20, 15),
                               corpus.ACTIVITY_FLOOR)
            self.assertGreater((left + 20) * 2, 100)


@unittest.skipUnless(HAVE_VIPS, "libvips-tools not installed")
class SmallSet(unittest.TestCase):
    """small/ made from two photographs, one file of every variant, twice."""

    OTHERS = {suffix: (len(variants), [(variant, 1) for variant, _ in variants])
              for suffix, (_, variants) in corpus.SMALL_OTHERS.items()}
    JPEGS = 5

    @classmethod
    def setUpClass(cls):
        cls.temporary = tempfile.TemporaryDirectory()
        root = Path(cls.temporary.name)
        (root / "jpeg").mkdir()
        make_image(root / "jpeg/landscape.jpg", 1280, 960)
        make_image(root / "jpeg/portrait.jpg", 600, 800)
        cls.root = root
        cls.photos = corpus.files_in(root / "jpeg")
        cls.items = corpus.build_small(cls.photos, root / "small", jpeg_count=cls.JPEGS,
                                       others=cls.OTHERS, manifest=root / "SMALL-MANIFEST.tsv")
        cls.again = root / "again"
        cls.again.mkdir()
        corpus.build_small(cls.photos, cls.again / "small", jpeg_count=cls.JPEGS,
                           others=cls.OTHERS, workers=1)
        cls.infos = images.read_headers(corpus.files_in(root / "small"))

    @classmethod
    def tearDownClass(cls):
        cls.temporary.cleanup()

    def test_every_file_is_made_and_nothing_is_left_behind(self):
        self.assertEqual(sorted(path.name for path in (self.root / "small").iterdir()),
                         sorted(item.name for item in self.items))
        self.assertEqual(sorted(path.name for path in self.root.iterdir()),
                         ["SMALL-MANIFEST.tsv", "again", "jpeg", "small"])
        manifest = (self.root / "SMALL-MANIFEST.tsv").read_text().splitlines()
        self.assertEqual(len(manifest), len(self.items) + 1)

    def test_same_files_from_the_same_seed(self):
        for item in self.items:
            with self.subTest(item.name):
                self.assertEqual((self.root / "small" / item.name).read_bytes(),
                                 (self.again / "small" / item.name).read_bytes())

    def test_size_format_frames_and_alpha(self):
        loaders = {".jpg": "jpegload", ".png": "pngload", ".gif": "gifload", ".webp": "webpload"}
        for item in self.items:
            path = str(self.root / "small" / item.name)
            info = self.infos[path]
            with self.subTest(item.name):
                self.assertEqual((info.width, info.height), item.size)
                self.assertEqual(info.loader, loaders[Path(path).suffix])
                self.assertEqual(info.pages, item.frames)
                self.assertTrue(images.decodes_cleanly(path)[0])
                if item.variant in corpus.ALPHA_MASKS:
                    self.assertTrue(info.has_alpha)
                    self.assertFalse(images.alpha_is_opaque(path, info.bands))
                elif item.variant == "rgba-opaque":
                    self.assertTrue(images.alpha_is_opaque(path, info.bands))
                elif item.variant == "grey":
                    self.assertEqual(info.bands, 1)
                elif not path.endswith(".gif"):  # GIF always loads with alpha
                    self.assertFalse(info.has_alpha)

    def test_sets_drawn_from_small(self):
        small80, mixed = corpus.build_sets(self.root, ["small80", "smallmixed80"], None)
        self.assertEqual((small80.target, mixed.target), ((80, 60), (80, 80)))
        self.assertEqual(len(small80.sources), self.JPEGS)
        self.assertTrue(all(info.loader == "jpegload" for info in small80.infos.values()))
        self.assertEqual(len(mixed.sources), len(self.items))
        two, = corpus.build_sets(self.root, ["smallmixed80"], 2)
        self.assertEqual(len(two.sources), 4)

    def test_existing_small_is_kept(self):
        before = {path.name: path.stat().st_mtime_ns for path in (self.root / "small").iterdir()}
        corpus.ensure_small(self.root)
        after = {path.name: path.stat().st_mtime_ns for path in (self.root / "small").iterdir()}
        self.assertEqual(before, after)


@unittest.skipUnless(HAVE_VIPS and shutil.which("gcc") and Path("/usr/include/jpeglib.h").exists(),
                     "gcc, libjpeg62-turbo-dev or libvips-tools not installed")
class Floor(unittest.TestCase):
    def test_floor_fits_every_jpeg_like_the_rule(self):
        with tempfile.TemporaryDirectory() as name:
            root = Path(name)
            self.assertTrue(setup.build_floor(root, install=False))
            sizes = [(1280, 25), (1280, 27), (641, 100), (3000, 4000), (600, 400), (4000, 2250)]
            for width, height in sizes:
                make_image(root / f"in-{width}x{height}.jpg", width, height)
            files = sorted(str(path) for path in root.glob("in-*.jpg"))
            done = subprocess.run([str(root / "floor"), "-j", "2", "640x480", *files])
            self.assertEqual(done.returncode, 0)
            infos = images.read_headers(files)
            for width, height in sizes:
                path = str(root / f"in-{width}x{height}.jpg")
                with self.subTest(f"{width}x{height}"):
                    expected = images.fitted_size(width, height, 640, 480) or (width, height)
                    self.assertEqual((infos[path].width, infos[path].height), expected)
                    self.assertEqual(infos[path].loader, "jpegload")
                    self.assertTrue(images.decodes_cleanly(path)[0])
            self.assertEqual(sorted(p.name for p in root.glob("*.floor-tmp")), [])

    def test_floor_reports_a_broken_file_and_goes_on(self):
        with tempfile.TemporaryDirectory() as name:
            root = Path(name)
            self.assertTrue(setup.build_floor(root, install=False))
            make_image(root / "good.jpg", 1600, 1200)
            (root / "broken.jpg").write_bytes(b"\xff\xd8\xff\xe0 not a jpeg")
            done = subprocess.run([str(root / "floor"), "640x480", str(root / "broken.jpg"),
                                   str(root / "good.jpg")], capture_output=True, text=True)
            self.assertEqual(done.returncode, 1)
            self.assertIn("broken.jpg", done.stderr)
            self.assertEqual(images.read_headers([str(root / "good.jpg")])[str(root / "good.jpg")].width, 640)
            self.assertEqual((root / "broken.jpg").read_bytes(), b"\xff\xd8\xff\xe0 not a jpeg")


if __name__ == "__main__":
    unittest.main()
