import flash.display.Sprite;
import flash.events.Event;
import flash.ui.Keyboard;

/** Lead the little mouse through the maze to the cheese with the arrow keys. */
class Maze extends Sprite {
	static var mazes = [
		[
			"###########",
			"#S..#.....#",
			"#.#.#.###.#",
			"#.#...#...#",
			"#.#####.#.#",
			"#...#...#.#",
			"###.#.###C#",
			"###########"
		],
		[
			"###########",
			"#S#...#...#",
			"#.#.#.#.#.#",
			"#...#...#.#",
			"#####.###.#",
			"#.....#...#",
			"#.###...#C#",
			"###########"
		]
	];
	static inline var CELL = 44;

	var level = 0;
	var walls = new Sprite();
	var hero = new Sprite();
	var cheese = new Sprite();
	var col = 0;
	var row = 0;
	var goalCol = 0;
	var goalRow = 0;
	var delay = 0;
	var frame = 0;
	var celebrate = 0;

	public function new() {
		super();
		Kit.sky(graphics, 0xFFF4D6, 0xFFE2A8);
		walls.x = (Kit.W - 11 * CELL) / 2;
		walls.y = (Kit.H - 8 * CELL) / 2 + 10;
		addChild(walls);
		var g = cheese.graphics;
		g.beginFill(0xFFC93C);
		g.moveTo(-16, 12);
		g.lineTo(16, 12);
		g.lineTo(16, -4);
		g.lineTo(-16, -12);
		g.endFill();
		g.beginFill(0xE0A800);
		g.drawCircle(-4, 3, 4);
		g.drawCircle(8, 6, 3);
		g.endFill();
		walls.addChild(cheese);
		g = hero.graphics;
		Kit.fillEach(g, 0x9AA0A8, [
			function(g) g.drawCircle(-10, -12, 7),
			function(g) g.drawCircle(10, -12, 7),
			function(g) g.drawEllipse(-15, -11, 30, 22)
		]);
		g.beginFill(0xFF9EB5);
		g.drawCircle(-10, -12, 4);
		g.drawCircle(10, -12, 4);
		g.drawCircle(0, 4, 3);
		g.endFill();
		g.beginFill(0x222222);
		g.drawCircle(-5, -2, 2.5);
		g.drawCircle(5, -2, 2.5);
		g.endFill();
		walls.addChild(hero);
		Kit.arrowHint(graphics, 10, 6, [0, 1, 2, 3]);
		build();
		addEventListener(Event.ENTER_FRAME, tick);
	}

	function build() {
		var m = mazes[level];
		var g = walls.graphics;
		g.clear();
		for (r in 0...m.length)
			for (c in 0...m[r].length) {
				var ch = m[r].charAt(c);
				if (ch == "#") {
					g.beginFill(0x4AA3DF);
					g.drawRoundRect(c * CELL + 1, r * CELL + 1, CELL - 2, CELL - 2, 12, 12);
					g.endFill();
				} else {
					g.beginFill(0xFFFFFF, 0.6);
					g.drawRect(c * CELL, r * CELL, CELL, CELL);
					g.endFill();
				}
				if (ch == "S") {
					col = c;
					row = r;
				}
				if (ch == "C") {
					goalCol = c;
					goalRow = r;
				}
			}
		cheese.x = goalCol * CELL + CELL / 2;
		cheese.y = goalRow * CELL + CELL / 2;
		place();
	}

	function place() {
		hero.x = col * CELL + CELL / 2;
		hero.y = row * CELL + CELL / 2;
	}

	function open(c:Int, r:Int):Bool {
		var m = mazes[level];
		return r >= 0 && r < m.length && c >= 0 && c < m[r].length && m[r].charAt(c) != "#";
	}

	function tick(_) {
		frame++;
		cheese.rotation = Math.sin(frame / 6) * 10;
		if (celebrate > 0) {
			if (frame % 5 == 0)
				Kit.sparkle(this, walls.x + hero.x, walls.y + hero.y, Kit.pick(Kit.colours), 6);
			if (--celebrate == 0) {
				level = (level + 1) % mazes.length;
				build();
			}
			return;
		}
		if (delay > 0) {
			delay--;
			return;
		}
		var dc = 0, dr = 0;
		if (Kit.isDown(Keyboard.LEFT)) dc = -1;
		else if (Kit.isDown(Keyboard.RIGHT)) dc = 1;
		else if (Kit.isDown(Keyboard.UP)) dr = -1;
		else if (Kit.isDown(Keyboard.DOWN)) dr = 1;
		if ((dc != 0 || dr != 0) && open(col + dc, row + dr)) {
			col += dc;
			row += dr;
			if (dc != 0)
				hero.scaleX = dc;
			place();
			delay = 4;
			if (col == goalCol && row == goalRow)
				celebrate = 60;
		}
	}

	static function main() {
		Kit.start(new Maze());
	}
}
