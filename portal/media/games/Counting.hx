import flash.display.Sprite;
import flash.events.Event;

/** How many apples hang on the tree? Click the right number. */
class Counting extends Sprite {
	var tree = new Sprite();
	var apples:Array<Sprite> = [];
	var buttons:Array<Sprite> = [];
	var answer = 0;
	var frame = 0;
	var shake = 0;
	var next = 0;
	var face = new Sprite();
	var score:flash.text.TextField;
	var right = 0;
	var clouds = new Sprite();

	static var spots = [
		[-70, -60], [-20, -85], [35, -70], [80, -40], [-90, -15],
		[-40, -25], [10, -35], [55, -5], [-10, 10]
	];

	public function new() {
		super();
		Kit.sky(graphics, 0xBDE8FF, 0xEAF8FF);
		Kit.cloud(clouds.graphics, 20, 50);
		Kit.cloud(clouds.graphics, 380, 80, 1.2);
		addChild(clouds);
		graphics.beginFill(0x8BD36B);
		graphics.drawRect(0, 280, Kit.W, 120);
		graphics.endFill();
		var g = tree.graphics;
		g.beginFill(0x8A5A3B);
		g.drawRect(-15, 0, 30, 120);
		g.endFill();
		Kit.fillEach(g, 0x3FA34D, [
			function(g) g.drawCircle(-60, -30, 70),
			function(g) g.drawCircle(40, -40, 75),
			function(g) g.drawCircle(-5, -90, 65),
			function(g) g.drawCircle(0, 0, 60)
		]);
		tree.x = 190;
		tree.y = 180;
		addChild(tree);
		for (n in 1...10) {
			var b = Kit.button(Std.string(n), Kit.colours[n % Kit.colours.length], 50, 50, makeChoice(n));
			b.x = 15 + (n - 1) * 58;
			b.y = 335;
			addChild(b);
			buttons.push(b);
		}
		face.x = 450;
		face.y = 190;
		addChild(face);
		score = Kit.scoreBox(this, Kit.W - 125, 10, 0xFF5A5F);
		round();
		addEventListener(Event.ENTER_FRAME, tick);
	}

	function makeChoice(n:Int):Void->Void {
		return function() choose(n);
	}

	function round() {
		for (a in apples)
			tree.removeChild(a);
		apples = [];
		var n = 1 + Kit.rand(9);
		if (n == answer)
			n = n % 9 + 1;
		answer = n;
		for (i in 0...n) {
			var a = new Sprite();
			a.graphics.beginFill(0xE8383D);
			a.graphics.drawCircle(0, 0, 15);
			a.graphics.endFill();
			a.graphics.beginFill(0xFFFFFF, 0.5);
			a.graphics.drawCircle(-5, -5, 4);
			a.graphics.endFill();
			a.graphics.lineStyle(3, 0x6B3F1F);
			a.graphics.moveTo(0, -14);
			a.graphics.lineTo(3, -22);
			a.x = spots[i][0];
			a.y = spots[i][1];
			tree.addChild(a);
			apples.push(a);
		}
		face.graphics.clear();
	}

	function choose(n:Int) {
		if (next > 0)
			return;
		if (n == answer) {
			right++;
			score.text = Std.string(right);
			face.graphics.clear();
			Kit.smile(face.graphics, 0, 0, 45, 0xFFE45C);
			for (a in apples)
				Kit.sparkle(this, tree.x + a.x, tree.y + a.y, 0xE8383D, 5);
			next = 45;
		} else {
			shake = 20;
		}
	}

	function tick(_) {
		frame++;
		for (i in 0...apples.length)
			apples[i].rotation = Math.sin((frame + i * 13) / 10) * 12;
		tree.x = 190 + (shake > 0 ? Math.sin(shake * 1.5) * 6 : 0);
		if (shake > 0)
			shake--;
		if (next > 0 && --next == 0)
			round();
		face.y = 190 + Math.sin(frame / 12) * 6;
		clouds.x = (frame * 0.5) % (Kit.W + 480) - 480;
	}

	static function main() {
		Kit.start(new Counting());
	}
}
