"""Short walks of the UI monkey (monkey.py) with fixed seeds, about a minute
in all; bench/monkey runs long ones."""

import time
import unittest

import monkey
from harness import App, Peer, suite

# (seed, seconds of random steps, the walk's cables): a cut cable stays dead,
# so each walk has a pool of its own.
WALKS = ((11, 20, ("COM10", "COM11")), (2027, 20, ("COM12", "COM13")))


class MonkeyTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        rig = suite().rig
        cls.cables = {name: rig.add_cable(name) for _, _, names in WALKS for name in names}
        rig.map_ports()

    def test_seeded_walks(self):
        for seed, seconds, names in WALKS:
            with self.subTest(seed=seed):
                app = App()
                try:
                    walk = monkey.Walk(app, [(n, self.cables[n]) for n in names], seed,
                                       app.suite.rig.scratch, Peer)
                    took = walk.run(seconds)
                finally:
                    app.quit()
                print("\nmonkey seed %d: %d steps in %.0f s; %s"
                      % (seed, walk.steps, took, dict(sorted(walk.counts.items()))), flush=True)


if __name__ == "__main__":
    unittest.main()
