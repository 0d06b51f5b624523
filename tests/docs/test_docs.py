"""What the docs claim of the repository: their links lead somewhere, and the
shipped system-wide settings file offers every setting the program's page
lists, or names it as left out.

SOURCE_DIR names the repository.
"""

import glob
import os
import re
import unittest

import doc_links

SOURCE = os.environ.get("SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))


class DocsTest(unittest.TestCase):
    def test_every_relative_link_leads_to_a_file_and_heading(self):
        pages = [os.path.join(SOURCE, "README.md")] + sorted(glob.glob(os.path.join(SOURCE, "docs", "*.md")))
        broken = {page: doc_links.broken_links(page) for page in pages}
        self.assertEqual({page: links for page, links in broken.items() if links}, {})

    def test_the_shipped_settings_file_offers_or_names_every_setting(self):
        with open(os.path.join(SOURCE, "docs", "lectern.md"), encoding="utf-8") as page:
            first_cells = re.findall(r"^\| (`\w+`(?:, `\w+`)*) \|", page.read(), re.MULTILINE)
        documented = {key for cell in first_cells for key in re.findall(r"`(\w+)`", cell)}
        with open(os.path.join(SOURCE, "lectern", "desktop", "settings.ini"), encoding="utf-8") as shipped:
            text = shipped.read()
        offered = set(re.findall(r"^;(\w+)=", text, re.MULTILINE))
        comments = " ".join(line for line in text.splitlines() if line.startswith(";") and "=" not in line)
        self.assertGreater(len(documented), 5, "the settings table of docs/lectern.md was not found")
        self.assertEqual(offered - documented, set())
        unnamed = {key for key in documented - offered if not re.search(r"\b%s\b" % key, comments)}
        self.assertEqual(unnamed, set())


if __name__ == "__main__":
    unittest.main()
